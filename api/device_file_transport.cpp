// Device-file transport: a USB printer-class device (/dev/usb/lp*) or a serial
// port (/dev/ttyS*), opened as a file. The handle is the file descriptor.
//
// The descriptor is switched to non-blocking after open: a printer sends
// nothing unless asked and may stop taking data, so a blocking read or write
// could outlast any time-out. Every loop waits with poll bounded by the time
// left, and pauses after a pass that moved nothing although poll said ready
// (a hung-up device is always ready), so that no loop ever spins.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "Orvy_Api.h"
#include "deadline.h"
#include "device_file_wait.h"
#include "port_name.h"
#include "transport.h"
#include "unique_fd.h"

namespace orvy::api {
namespace {

constexpr unsigned long kClearQuietMs = 100;
constexpr unsigned long kClearLimitMs = 1000;
constexpr unsigned long kClearPauseMs = 10;
constexpr std::size_t kClearChunk = 256;
constexpr unsigned long kCloseDrainLimitMs = 1000;

constexpr unsigned long kSerialBaudRate = 115200;
constexpr unsigned char kSerialDataBits = 8;
constexpr unsigned char kSerialParity = 'n';
constexpr unsigned char kSerialStopBits = 1;

// A handle past INT_MAX is no descriptor (a USB handle left over from a
// change of transport); cutting it down to an int could hit an unrelated one.
bool is_descriptor(intptr_t printer) { return printer >= 0 && printer <= INT_MAX; }

bool set_non_blocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

intptr_t file_open(const char *port)
{
    UniqueFd fd(::open(port, O_RDWR | O_NOCTTY | O_EXCL));
    if (!fd) return -1;
    if (is_serial_port(port)) {
        (void)orvy_api_printer_set_serial(fd.get(), kSerialBaudRate, kSerialDataBits, kSerialParity,
                                          kSerialStopBits);
    }
    // A descriptor that stays blocking would break every time-out: not usable.
    if (!set_non_blocking(fd.get())) return -1;
    return fd.release();
}

// Moves up to `size` bytes with one call; > 0 bytes moved, anything else
// (would block, end of file, an error) means nothing moved.
using TransferStep = ssize_t (*)(int fd, unsigned char *data, std::size_t size);

ssize_t write_step(int fd, unsigned char *data, std::size_t size)
{
    return ::write(fd, data, size);
}
ssize_t read_step(int fd, unsigned char *data, std::size_t size) { return ::read(fd, data, size); }

// The loop that write and read share: transfer until `size` bytes have moved
// or timeout_ms has passed, whatever the transfers report on the way.
int transfer_within(int fd, unsigned char *data, int size, unsigned long timeout_ms, short events,
                    TransferStep step)
{
    Deadline deadline(timeout_ms);
    const unsigned long pause = polling_pause_ms(timeout_ms);
    int moved = 0;
    bool woken = false;  // the last wait ended early: the device claimed to be ready
    while (moved < size) {
        const ssize_t count = step(fd, data + moved, static_cast<std::size_t>(size - moved));
        if (count > 0) {
            moved += static_cast<int>(count);
            woken = false;
        } else if (woken) {
            pause_ms(pause);
            woken = false;
        } else {
            const unsigned long remaining = deadline.remaining_ms();
            woken = remaining > 0 && wait_until_ready(fd, events, remaining);
        }
        if (deadline.expired()) break;
    }
    return moved;
}

int file_write(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    if (!is_descriptor(printer)) return 0;
    return transfer_within(static_cast<int>(printer), data, size, timeout_ms, POLLOUT, write_step);
}

int file_read(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    if (!is_descriptor(printer)) return 0;
    return transfer_within(static_cast<int>(printer), data, size, timeout_ms, POLLIN, read_step);
}

// Reads and drops input until none has arrived for 100 ms; a device that
// keeps sending is cut off after 1000 ms.
int file_clear(intptr_t printer)
{
    if (!is_descriptor(printer)) return 0;
    const int fd = static_cast<int>(printer);
    Deadline total(kClearLimitMs);
    Deadline quiet(kClearQuietMs);
    unsigned char scratch[kClearChunk];
    bool woken = false;
    for (;;) {
        if (::read(fd, scratch, sizeof scratch) > 0) {
            quiet.restart();
            woken = false;
        } else if (woken) {
            pause_ms(kClearPauseMs);
            woken = false;
        } else {
            const unsigned long remaining = std::min(quiet.remaining_ms(), total.remaining_ms());
            woken = remaining > 0 && wait_until_ready(fd, POLLIN, remaining);
        }
        if (quiet.expired() || total.expired()) break;
    }
    return 1;
}

void file_close(intptr_t printer)
{
    if (!is_descriptor(printer)) return;
    UniqueFd fd(static_cast<int>(printer));
    drain_output(fd.get(), kCloseDrainLimitMs);
}

}  // namespace

const Transport device_file_transport = {
    .open = file_open,
    .write = file_write,
    .read = file_read,
    .clear = file_clear,
    .close = file_close,
};

}  // namespace orvy::api
