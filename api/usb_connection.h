// The USB connection that the last successful orvy_api_printer_open made,
// kept until close.
//
// The handle given to the caller is the address of the libusb device handle.
// Only that value is accepted afterwards: any other one (a handle already
// closed, a number never handed out) is treated like a negative handle, so a
// stale handle never reaches libusb. A new connection whose libusb handle
// reuses the address of a closed one cannot be told apart from it.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <memory>

#include "rx_ring.h"
#include "usb_open.h"

namespace orvy::api {

// Everything the process-wide USB connection holds: the printer, and the
// receive ring in the exported variables (released first).
struct UsbConnection {
    UsbPrinter printer;
    RxRingStorage ring;
};

// The device handle of the current connection when `printer` is its handle,
// otherwise nullptr.
libusb_device_handle *usb_connection_for(intptr_t printer);

// Makes `connection` the current one and returns its handle. Open releases
// the earlier connection before it opens the new device: none is left here.
intptr_t usb_connection_install(std::unique_ptr<UsbConnection> connection);

// Releases the current connection and all it holds.
void usb_connection_release();

}  // namespace orvy::api
