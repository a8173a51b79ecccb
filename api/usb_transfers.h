// The bulk transfers of the USB bulk transport, shared by the process-wide
// connection of orvy_api_printer_open and the connections of
// orvy_api_conn_open: each caller says which device, endpoints and ring.
// Every wait polls with short libusb time-outs and pauses, each cut to the
// time left, so a call ends within about a millisecond of its time-out.
#pragma once

#include <libusb.h>

#include <cstddef>

#include "rx_ring.h"
#include "transport.h"

namespace orvy::api {

struct UsbLink {
    libusb_device_handle *handle;
    unsigned char out_endpoint;
    unsigned char in_endpoint;
    int in_packet_size;
    RxRing ring;
    // Print the diagnostic lines of the process-wide connection.
    bool diagnostics;
};

struct UsbMoved {
    long count = 0;
    bool gone = false;
};

// Sends up to size bytes within timeout_ms (LIBUSB_ERROR_NO_DEVICE: gone); a transfer that fails
// part-way still counts what it moved, so no byte is sent twice.
UsbMoved usb_send(const UsbLink &link, const unsigned char *data, long size,
                  unsigned long timeout_ms, OnGone on_gone);

// The read of orvy_api_printer_read: size when that many bytes are held in
// time, else 0 (what arrived stays in the ring); kReadNoMemory,
// kReadRingRefused, kReadPacketTooLarge.
int usb_read_whole(const UsbLink &link, unsigned char *data, int size, unsigned long timeout_ms);

// The read of a connection: what the ring holds first, then packets, until
// size bytes or the time-out; the rest of the last packet stays in the ring.
// `scratch` holds one packet (in_packet_size bytes).
UsbMoved usb_receive(const UsbLink &link, unsigned char *data, std::size_t size,
                     unsigned long timeout_ms, unsigned char *scratch, OnGone on_gone);

// Discards at most one ready packet within 100 ms, then everything the ring
// holds. True when the printer turned out to be gone.
bool usb_discard_input(const UsbLink &link, OnGone on_gone);

}  // namespace orvy::api
