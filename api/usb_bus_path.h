// Bus number and device address from a usbfs path such as /dev/bus/usb/001/011.
#pragma once

#include <optional>

namespace orvy::api {

struct UsbBusAddress {
    int bus = -1;
    int address = -1;
};

// The name is split at "/" into non-empty components (runs of "/" count as
// one); the fourth is the bus number and the fifth the device address, each
// read like atoi ("011" is 11, "x" is 0, out-of-range values saturate).
// Later components are ignored. Nothing when either component is missing.
std::optional<UsbBusAddress> parse_usb_bus_path(const char *port);

// atoi without its undefined behaviour: leading blanks, a sign, the digits
// that follow; out-of-range values saturate at INT_MIN / INT_MAX.
int atoi_saturating(const char *text);

}  // namespace orvy::api
