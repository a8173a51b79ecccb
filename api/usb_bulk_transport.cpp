// USB bulk transport of orvy_api_printer_open: the transfers of the
// process-wide connection, on the endpoints in the exported variables and
// the ring in m_pub_rx_buffer. They keep polling until their time-out, also
// on a printer that is gone.
#include <libusb.h>

#include "diagnostics.h"
#include "rx_ring.h"
#include "transport.h"
#include "usb_connection.h"
#include "usb_open.h"
#include "usb_transfers.h"

namespace orvy::api {
namespace {

UsbLink process_wide_link(libusb_device_handle *handle)
{
    return UsbLink{
        handle, bulk_out_endpoint(), bulk_in_endpoint(), bulk_in_packet_size(), process_rx_ring(),
        true};
}

int usb_write(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    libusb_device_handle *handle = usb_connection_for(printer);
    if (handle == nullptr) return 0;
    const UsbMoved sent =
        usb_send(process_wide_link(handle), data, size, timeout_ms, OnGone::keep_polling);
    return static_cast<int>(sent.count);
}

int usb_read(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    libusb_device_handle *handle = usb_connection_for(printer);
    if (handle == nullptr) return 0;
    return usb_read_whole(process_wide_link(handle), data, size, timeout_ms);
}

int usb_clear(intptr_t printer)
{
    libusb_device_handle *handle = usb_connection_for(printer);
    if (handle == nullptr) return 0;
    (void)usb_discard_input(process_wide_link(handle), OnGone::keep_polling);
    return 1;
}

bool usb_owns(intptr_t printer) { return usb_connection_for(printer) != nullptr; }

void usb_close(intptr_t printer)
{
    if (usb_connection_for(printer) == nullptr) return;
    usb_connection_release();
}

}  // namespace

const Transport kUsbBulkTransport = {
    .open = usb_bulk_open,
    .owns = usb_owns,
    .release = usb_connection_release,
    .write = usb_write,
    .read = usb_read,
    .clear = usb_clear,
    .close = usb_close,
};

}  // namespace orvy::api
