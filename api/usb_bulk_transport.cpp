// USB bulk transport through libusb: the transfers of an open connection.
// Every wait polls with short libusb time-outs and pauses, each cut to the
// time left, so a call ends within about a millisecond of its time-out.
#include <libusb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "deadline.h"
#include "diagnostics.h"
#include "error_codes.h"
#include "rx_ring.h"
#include "transport.h"
#include "usb_connection.h"
#include "usb_open.h"
#include "usb_read_diagnostics.h"
#include "usb_resources.h"
#include "usb_seams.h"

namespace orvy::api {
namespace {

constexpr unsigned int kTransferTimeoutMs = 100;
constexpr unsigned int kClearTransferTimeoutMs = 45;
constexpr unsigned long kClearLimitMs = 100;

// The libusb time-out of one transfer: its fixed value, but no more than the
// time left, and at least 1 ms (0 would mean no time-out at all to libusb).
unsigned int transfer_timeout_ms(unsigned int fixed_ms, Deadline &deadline)
{
    return static_cast<unsigned int>(
        std::clamp<unsigned long>(deadline.remaining_ms(), 1, fixed_ms));
}

int usb_write(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    libusb_device_handle *handle = usb_connection_for(printer);
    if (handle == nullptr) return 0;
    Deadline deadline(timeout_ms);
    int sent = 0;
    while (sent < size) {
        int transferred = 0;
        // A transfer that fails or times out part-way still reports what it
        // moved: count it and go on from there, so no byte is sent twice.
        usb_seams::bulk_transfer(handle, bulk_out_endpoint(), data + sent, size - sent,
                                 &transferred, transfer_timeout_ms(kTransferTimeoutMs, deadline));
        transferred = std::min(transferred, size - sent);
        if (transferred > 0) {
            debug_printf("Written = %d, size = %d\n", transferred, size);
            sent += transferred;
        } else {
            pause_within(deadline, polling_pause_ms(timeout_ms));
        }
        if (deadline.expired()) break;
    }
    return sent;
}

int usb_read(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    libusb_device_handle *handle = usb_connection_for(printer);
    if (handle == nullptr) return 0;
    Deadline deadline(timeout_ms);

    const int packet_size = bulk_in_packet_size();
    const std::size_t scratch_size = static_cast<std::size_t>(packet_size) + 1;
    const HeapBytes scratch = allocate_bytes(scratch_size);
    if (!scratch) return kReadNoMemory;
    std::memset(scratch.get(), 0, scratch_size);

    int held = buffer_get_rx_count();
    int free_space = buffer_get_rx_free();
    while (held < size) {
        std::memset(scratch.get(), 0, scratch_size);
        int received = 0;
        const int result =
            usb_seams::bulk_transfer(handle, bulk_in_endpoint(), scratch.get(), packet_size,
                                     &received, transfer_timeout_ms(kTransferTimeoutMs, deadline));
        report_received_packet(result, scratch.get(), received);
        if (received == 0) pause_within(deadline, polling_pause_ms(timeout_ms));
        if (received > free_space) return kReadPacketTooLarge;
        if (buffer_set_rx_data(scratch.get(), received) != 1) return kReadRingRefused;
        held = buffer_get_rx_count();
        free_space = buffer_get_rx_free();
        debug_printf("Read count bytes = %d, free buffer size = %d, current buffer = %d \n",
                     received, free_space, held);
        if (deadline.expired()) break;
    }
    // Too little in time: what did arrive stays in the ring for the next read.
    if (buffer_get_rx_count() < size) return 0;
    return buffer_get_rx_data(data, size);
}

int usb_clear(intptr_t printer)
{
    libusb_device_handle *handle = usb_connection_for(printer);
    if (handle == nullptr) return 0;
    Deadline deadline(kClearLimitMs);
    unsigned char discarded[kClearChunkBytes];
    for (;;) {
        int received = 0;
        const int result =
            usb_seams::bulk_transfer(handle, bulk_in_endpoint(), discarded, kClearChunkBytes,
                                     &received,
                                     transfer_timeout_ms(kClearTransferTimeoutMs, deadline));
        debug_printf(" Clear read - ret = %d / %d \n", received, result);
        if (result == 0) break;
        pause_within(deadline, kClearPauseMs);
        if (deadline.expired()) break;
    }
    buffer_reset_rx();
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
