// Open of the USB bulk transport: from /dev/bus/usb/<bus>/<address> to a
// claimed interface and known endpoints. One path for both interfaces: the
// process-wide connection of orvy_api_printer_open and the connections of
// orvy_api_conn_open.
#pragma once

#include <cstdint>

#include "usb_bus_path.h"
#include "usb_reservation.h"
#include "usb_resources.h"

namespace orvy::api {

struct UsbEndpoints {
    unsigned char out = 0x02;
    unsigned char in = 0x81;
    int in_packet_size = 64;
    int interface_number = 0;
    int alt_setting = 0;
};

// A printer opened on USB, with all it holds. Members are released in
// reverse order: interface, device, reservation, libusb context.
struct UsbPrinter {
    LibusbContext context;
    UsbReservation reservation;
    DeviceHandle device;
    ClaimedInterface claimed;
    UsbEndpoints endpoints;  // of a connection; the process-wide one keeps the exported variables
};

// The process-wide open of orvy_api_printer_open: the default libusb context,
// the endpoints and interface number in the exported variables (the last
// alternate setting's, its index as the interface number), the earlier
// process-wide connection released once the new name leads to a printer of
// the family, and the receive ring allocated. Returns the handle or an open
// error code (-1..-8, see Orvy_Api.h).
intptr_t usb_bulk_open(const char *port);

// The open of a connection: a libusb context of its own, no process-wide
// variable read or written; the interface claimed by its own number and the
// alternate setting whose endpoints are used selected. A printer that another
// connection of the process holds is refused at once with kInterfaceBusy.
// Returns 0 or an open error code.
int usb_printer_open(const char *port, UsbPrinter &printer);

// What the last process-wide open learnt (the exported ORVY_API_ACCESS_*
// variables): the bulk OUT and IN endpoint addresses and the IN endpoint's
// packet size.
unsigned char bulk_out_endpoint();
unsigned char bulk_in_endpoint();
int bulk_in_packet_size();

}  // namespace orvy::api
