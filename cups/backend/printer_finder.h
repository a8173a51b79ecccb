// The printers of the family attached to this machine, from udev (no
// printer is opened), as the backend lists and looks them up.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvy::backend {

struct AttachedPrinter {
    std::string serial;
    std::string usb_port;  // /dev/bus/usb/BBB/DDD
    std::string make;
    std::string model;
    std::string device_id;  // IEEE 1284; made from make, model and serial without usblp
    std::string uri;        // orvy://MAKE/MODEL?serial=SERIAL
};

std::vector<AttachedPrinter> attached_printers();
std::optional<AttachedPrinter> attached_printer(const std::string &serial);

// The discovery line of backend(7):
// direct URI "MAKE MODEL" "MAKE MODEL (serial SERIAL)" "DEVICE ID" ""
std::string discovery_line(const AttachedPrinter &printer);

}  // namespace orvy::backend
