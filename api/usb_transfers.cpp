#include "usb_transfers.h"

#include <algorithm>
#include <cstring>

#include "deadline.h"
#include "diagnostics.h"
#include "error_codes.h"
#include "transport.h"
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
unsigned int transfer_timeout_ms(unsigned int fixed_ms, const Deadline &deadline)
{
    return static_cast<unsigned int>(
        std::clamp<unsigned long>(deadline.remaining_ms(), 1, fixed_ms));
}

bool ends_call(int result, OnGone on_gone)
{
    return result == LIBUSB_ERROR_NO_DEVICE && on_gone == OnGone::stop;
}

// What follows one transfer of a send or receive: a gone printer ends the
// call, a transfer that moved nothing pauses before the next. True while the
// call goes on.
bool goes_on_after(int result, bool moved, OnGone on_gone, const Deadline &deadline,
                   unsigned long timeout_ms, UsbMoved &so_far)
{
    if (ends_call(result, on_gone)) {
        so_far.gone = true;
        return false;
    }
    if (!moved) pause_within(deadline, polling_pause_ms(timeout_ms));
    return !deadline.expired();
}

// One bulk transfer of at most INT_MAX bytes, as libusb counts them.
int bulk_transfer(const UsbLink &link, unsigned char endpoint, unsigned char *data, long length,
                  int *transferred, unsigned int timeout_ms)
{
    const int piece = static_cast<int>(std::min<long>(length, 0x7FFFFFFF));
    return usb_seams::bulk_transfer(link.handle, endpoint, data, piece, transferred, timeout_ms);
}

}  // namespace

UsbMoved usb_send(const UsbLink &link, const unsigned char *data, long size,
                  unsigned long timeout_ms, OnGone on_gone)
{
    Deadline deadline(timeout_ms);
    UsbMoved sent;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    auto *bytes = const_cast<unsigned char *>(data);
    while (sent.count < size) {
        int transferred = 0;
        const int result =
            bulk_transfer(link, link.out_endpoint, bytes + sent.count, size - sent.count,
                          &transferred, transfer_timeout_ms(kTransferTimeoutMs, deadline));
        const long moved = std::min<long>(transferred, size - sent.count);
        if (moved > 0) {
            if (link.diagnostics) {
                debug_printf("Written = %d, size = %d\n", static_cast<int>(moved),
                             static_cast<int>(size));
            }
            sent.count += moved;
        }
        if (!goes_on_after(result, moved > 0, on_gone, deadline, timeout_ms, sent)) break;
    }
    return sent;
}

int usb_read_whole(const UsbLink &link, unsigned char *data, int size, unsigned long timeout_ms)
{
    Deadline deadline(timeout_ms);
    RxRing ring = link.ring;

    const int packet_size = std::max(link.in_packet_size, 0);
    const std::size_t scratch_size = static_cast<std::size_t>(packet_size) + 1;
    const HeapBytes scratch = allocate_bytes(scratch_size);
    if (!scratch) return kReadNoMemory;
    std::memset(scratch.get(), 0, scratch_size);

    int held = ring.count();
    int free_space = ring.free();
    while (held < size) {
        std::memset(scratch.get(), 0, scratch_size);
        int received = 0;
        const int result =
            bulk_transfer(link, link.in_endpoint, scratch.get(), packet_size, &received,
                          transfer_timeout_ms(kTransferTimeoutMs, deadline));
        if (link.diagnostics) report_received_packet(result, scratch.get(), received);
        if (received == 0) pause_within(deadline, polling_pause_ms(timeout_ms));
        if (received > free_space) return kReadPacketTooLarge;
        if (ring.append(scratch.get(), received) != 1) return kReadRingRefused;
        held = ring.count();
        free_space = ring.free();
        if (link.diagnostics) {
            debug_printf("Read count bytes = %d, free buffer size = %d, current buffer = %d \n",
                         received, free_space, held);
        }
        if (deadline.expired()) break;
    }
    // Too little in time: what did arrive stays in the ring for the next read.
    if (ring.count() < size) return 0;
    return ring.take(data, size);
}

UsbMoved usb_receive(const UsbLink &link, unsigned char *data, std::size_t size,
                     unsigned long timeout_ms, unsigned char *scratch, OnGone on_gone)
{
    Deadline deadline(timeout_ms);
    RxRing ring = link.ring;
    UsbMoved got;
    const auto wanted = static_cast<long>(size);
    const auto take_held = [&] {
        const long room = std::min<long>(wanted - got.count, kRxRingCapacity);
        got.count += ring.take(data + got.count, static_cast<int>(room));
    };
    take_held();
    // The ring is empty whenever a packet arrives below: a packet (at most
    // 1023 bytes past what the caller takes from it) always fits.
    const int packet_size = std::clamp(link.in_packet_size, 1, kRxRingCapacity);
    while (got.count < wanted) {
        int received = 0;
        const int result = bulk_transfer(link, link.in_endpoint, scratch, packet_size, &received,
                                         transfer_timeout_ms(kTransferTimeoutMs, deadline));
        received = std::clamp(received, 0, packet_size);
        if (received > 0) {
            (void)ring.append(scratch, received);
            take_held();
        }
        if (!goes_on_after(result, received > 0, on_gone, deadline, timeout_ms, got)) break;
    }
    return got;
}

bool usb_discard_input(const UsbLink &link, OnGone on_gone)
{
    Deadline deadline(kClearLimitMs);
    unsigned char discarded[kClearChunkBytes];
    bool gone = false;
    for (;;) {
        int received = 0;
        const int result =
            bulk_transfer(link, link.in_endpoint, discarded, kClearChunkBytes, &received,
                          transfer_timeout_ms(kClearTransferTimeoutMs, deadline));
        if (link.diagnostics) debug_printf(" Clear read - ret = %d / %d \n", received, result);
        if (result == 0) break;
        if (ends_call(result, on_gone)) {
            gone = true;
            break;
        }
        pause_within(deadline, kClearPauseMs);
        if (deadline.expired()) break;
    }
    RxRing ring = link.ring;
    ring.reset();
    return gone;
}

}  // namespace orvy::api
