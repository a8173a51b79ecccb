#include "printer_identity.h"

#include <strings.h>

#include <cstdio>

namespace orvy::list {
namespace {

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// %-escapes as the backend's URI assembly does: '%', blanks and control
// characters, bytes beyond ASCII, and `reserved`.
std::string uri_encoded(const std::string &text, const char *reserved)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || byte <= ' ' || byte >= 0x80 ||
            std::string(reserved).find(c) != std::string::npos) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string device_id_value(const std::string &device_id, const std::string &key)
{
    std::size_t start = 0;
    while (start < device_id.size()) {
        std::size_t end = device_id.find(';', start);
        if (end == std::string::npos) end = device_id.size();
        const std::string pair = device_id.substr(start, end - start);
        const std::size_t colon = pair.find(':');
        if (colon != std::string::npos &&
            strcasecmp(trimmed(pair.substr(0, colon)).c_str(), key.c_str()) == 0) {
            return trimmed(pair.substr(colon + 1));
        }
        start = end + 1;
    }
    return {};
}

PrinterIdentity identity_of(const std::string &device_id, const std::string &usb_manufacturer,
                            const std::string &usb_product, const std::string &serial)
{
    PrinterIdentity identity;
    identity.make = device_id_value(device_id, "MANUFACTURER");
    if (identity.make.empty()) identity.make = device_id_value(device_id, "MFG");
    if (identity.make.empty()) identity.make = usb_manufacturer;
    identity.model = device_id_value(device_id, "MODEL");
    if (identity.model.empty()) identity.model = device_id_value(device_id, "MDL");
    if (identity.model.empty()) identity.model = usb_product;

    // The backend's URI: a missing make is the model's first word, a model
    // that starts with the make loses it.
    std::string make = identity.make;
    if (make.empty()) {
        make =
            identity.model.empty() ? "Unknown" : identity.model.substr(0, identity.model.find(' '));
    }
    std::string model = identity.model;
    if (model.empty()) model = make == "Unknown" ? "Printer" : "Unknown Model";
    if (model.size() > make.size() && strncasecmp(model.c_str(), make.c_str(), make.size()) == 0 &&
        model[make.size()] == ' ') {
        model = trimmed(model.substr(make.size() + 1));
    }
    identity.cups_uri =
        "usb://" + uri_encoded(make, "\"#/:<>?@[\\]^`{|}") + "/" + uri_encoded(model, "");
    if (!serial.empty()) identity.cups_uri += "?serial=" + uri_encoded(serial, "");
    return identity;
}

}  // namespace orvy::list
