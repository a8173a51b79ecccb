// The printers of the family attached to this machine, as udev knows them.
// Nothing here opens a printer's node: listing must not disturb a printer
// that an application is using.
#pragma once

#include <string>
#include <vector>

#include "node_access.h"

namespace orvy::list {

struct ListedPrinter {
    std::string serial;
    unsigned product_id = 0;
    std::string usb_port;         // /dev/bus/usb/BBB/DDD
    std::string lp_port;          // /dev/usb/lpN; empty when usblp is not bound
    std::string stable_usb_port;  // /dev/orvy/by-serial/<SERIAL>/usb; empty if none
    std::string stable_lp_port;
    std::string make;  // from the IEEE 1284 device ID, else the USB strings
    std::string model;
    std::string cups_uri;   // the URI of the CUPS usb backend: usb://MAKE/MODEL?serial=...
    std::string device_id;  // the IEEE 1284 device ID from sysfs; empty when usblp is not bound
    NodeAccess usb_access;
    NodeAccess lp_access;
};

// Sorted by USB bus path. `error` is set when udev cannot be asked.
std::vector<ListedPrinter> find_printers(unsigned vendor_id, std::string &error);

}  // namespace orvy::list
