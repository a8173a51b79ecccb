// Open of the USB bulk transport: from /dev/bus/usb/<bus>/<address> to a
// claimed interface, known endpoints and an empty receive ring.
#pragma once

#include <cstdint>

namespace orvy::api {

// Returns the handle or an open error code (-1..-8, see Orvy_Api.h).
intptr_t usb_bulk_open(const char *port);

// What the last open learnt (the exported ORVY_API_ACCESS_* variables): the
// bulk OUT and IN endpoint addresses and the IN endpoint's packet size.
unsigned char bulk_out_endpoint();
unsigned char bulk_in_endpoint();
int bulk_in_packet_size();

}  // namespace orvy::api
