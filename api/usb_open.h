// Open of the USB bulk transport: from /dev/bus/usb/<bus>/<address> to a
// claimed interface, known endpoints and an empty receive ring.
#pragma once

#include <cstdint>

namespace orvy::api {

// Returns the handle or an open error code (-1..-8, see Orvy_Api.h).
intptr_t usb_bulk_open(const char *port);

}  // namespace orvy::api
