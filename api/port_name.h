#pragma once

#include <string_view>

namespace orvy::api {

// The transport that a port name asks for. A name of no known form keeps the
// mode of an earlier open (current_mode).
int mode_for_port(std::string_view port, int current_mode);

}  // namespace orvy::api
