// Port names as open classifies them and as the USB bus path is read from
// them. The input is the name, up to its first zero byte as open sees it.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "port_name.h"
#include "transport.h"
#include "usb_bus_path.h"

namespace {

using orvy::fuzz::require;
using namespace orvy::api;

// atoi's meaning, from the C library, clamped where atoi has none.
int atoi_clamped(const std::string &text)
{
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

// The non-empty components between slashes.
std::vector<std::string> components_of(const std::string &name)
{
    std::vector<std::string> parts;
    std::string part;
    for (const char c : name + "/") {
        if (c != '/') {
            part += c;
        } else if (!part.empty()) {
            parts.push_back(part);
            part.clear();
        }
    }
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string name(reinterpret_cast<const char *>(data),
                           strnlen(reinterpret_cast<const char *>(data), size));

    constexpr int kUnknown = 7;
    const int mode = mode_for_port(name, kModeNone);
    const int kept = mode_for_port(name, kUnknown);
    require(mode == kModeNone || mode == kModeDeviceFile || mode == kModeUsbBulk, "a known mode");
    require(kept == (mode == kModeNone ? kUnknown : mode), "an earlier mode kept only for no form");
    if (mode == kModeUsbBulk) {
        require(name.find("/dev/bus/usb/") != std::string::npos, "USB only for a bus path");
    }

    require(atoi_saturating(name.c_str()) == atoi_clamped(name), "atoi_saturating is atoi clamped");
    const auto parts = components_of(name);
    const auto bus_address = parse_usb_bus_path(name.c_str());
    require(bus_address.has_value() == (parts.size() >= 5),
            "bus and address from components 4 and 5");
    if (bus_address) {
        require(bus_address->bus == atoi_clamped(parts[3]), "bus number");
        require(bus_address->address == atoi_clamped(parts[4]), "device address");
    }
    return 0;
}
