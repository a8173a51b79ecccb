// Orvy_ListPrinters: where the printers of the family are, what stable names
// they have and whether this user may use them.
#include <cstdio>
#include <cstring>
#include <string>

#include "listing_output.h"
#include "printer_listing.h"

namespace {

constexpr int kFound = 0;
constexpr int kNoneFound = 1;
constexpr int kUsageError = 2;

void print_usage(std::FILE *to)
{
    std::fputs("Usage: Orvy_ListPrinters [--json]\n"
               "Lists the Orvy printers attached to this machine: serial number, product id,\n"
               "USB bus path, usblp device file, stable names and whether you may use them.\n"
               "Exit status: 0 printers found, 1 none found, 2 usage error.\n",
               to);
}

}  // namespace

int main(int argc, char **argv)
{
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            print_usage(stdout);
            return kFound;
        } else {
            std::fprintf(stderr, "Orvy_ListPrinters: unknown argument '%s'\n", argv[i]);
            print_usage(stderr);
            return kUsageError;
        }
    }
    std::string error;
    const auto printers = orvy::list::find_printers(ORVY_USB_VENDOR_ID, error);
    if (!error.empty()) std::fprintf(stderr, "Orvy_ListPrinters: %s\n", error.c_str());
    if (json) {
        std::fputs(orvy::list::listing_json(printers).c_str(), stdout);
    } else if (printers.empty()) {
        std::fputs("No Orvy printer found.\n", stdout);
    } else {
        std::fputs(orvy::list::listing_text(printers).c_str(), stdout);
    }
    return printers.empty() ? kNoneFound : kFound;
}
