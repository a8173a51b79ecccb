#pragma once

#include <string>
#include <string_view>

namespace orvy::api {

// The transport that a port name asks for. A name of no known form keeps the
// mode of an earlier open (current_mode).
int mode_for_port(std::string_view port, int current_mode);

// A serial line: gets the serial settings when it is opened.
bool is_serial_port(std::string_view port);

// The name to open for `port`: a name of no known form that is a symbolic
// link is followed one link at a time until a name of a known form is
// reached (stable names such as /dev/orvy/by-serial/<SERIAL>/usb). Any other
// name, a dangling link and a loop give `port` itself.
std::string resolve_port_name(const std::string &port);

}  // namespace orvy::api
