#include "port_name.h"

#include <cctype>

#include "transport.h"

namespace orvy::api {
namespace {

bool contains_ignoring_case(std::string_view text, std::string_view part)
{
    if (part.size() > text.size()) return false;
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        bool same = true;
        for (std::size_t i = 0; i < part.size() && same; ++i) {
            same = std::tolower(static_cast<unsigned char>(text[at + i])) ==
                   std::tolower(static_cast<unsigned char>(part[i]));
        }
        if (same) return true;
    }
    return false;
}

}  // namespace

int mode_for_port(std::string_view port, int current_mode)
{
    if (port.find("/dev/usb/lp") != std::string_view::npos ||
        contains_ignoring_case(port, "/dev/ttyS")) {
        return kModeDeviceFile;
    }
    if (port.find("/dev/bus/usb/") != std::string_view::npos) return kModeUsbBulk;
    return current_mode;
}

}  // namespace orvy::api
