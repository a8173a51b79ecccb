// The listing of Orvy_ListPrinters, for programs that load the library.
#include <cstdlib>
#include <cstring>
#include <string>

#include "Orvy_Inquiry.h"
#include "listing_output.h"
#include "printer_listing.h"

extern "C" char *orvy_inquiry_list_printers_json(void)
try {
    std::string error;  // udev out of reach: no printers, as the listing says
    std::string json =
        orvy::list::listing_json(orvy::list::find_printers(ORVY_USB_VENDOR_ID, error));
    json.erase(json.find_last_not_of('\n') + 1);
    char *copy = static_cast<char *>(std::malloc(json.size() + 1));
    if (copy != nullptr) std::memcpy(copy, json.c_str(), json.size() + 1);
    return copy;
} catch (...) {
    return nullptr;  // no memory; nothing may cross into C
}
