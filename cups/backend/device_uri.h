// The backend's device URI: orvy://MAKE/MODEL?serial=SERIAL. The serial
// number names the printer, so a queue survives replugs, a new USB address
// and a second printer; make and model are there for people.
#pragma once

#include <string>

namespace orvy::backend {

inline constexpr const char *kScheme = "orvy";

// The listing's usb://MAKE/MODEL?serial=... URI under our scheme.
std::string device_uri_from_usb_uri(const std::string &usb_uri);

// The serial number in the URI's query (%-escapes decoded); empty when the
// URI is not ours or names no serial number.
std::string serial_of_device_uri(const std::string &uri);

}  // namespace orvy::backend
