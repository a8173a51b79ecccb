// Make and model of a printer from its IEEE 1284 device ID (as usblp shows
// it in sysfs) or its USB strings, and the URI under which the CUPS usb
// backend lists it, so that a print queue can be set up without asking
// the printer.
#pragma once

#include <string>

namespace orvy::list {

struct PrinterIdentity {
    std::string make;
    std::string model;
    std::string cups_uri;  // usb://MAKE/MODEL?serial=SERIAL
};

// `device_id` may be empty (usblp not bound): the USB manufacturer and
// product strings stand in, as they do in the backend.
PrinterIdentity identity_of(const std::string &device_id, const std::string &usb_manufacturer,
                            const std::string &usb_product, const std::string &serial);

// The value of `key` (MFG, MDL, ...) in "KEY:value;KEY:value;", any case.
std::string device_id_value(const std::string &device_id, const std::string &key);

}  // namespace orvy::list
