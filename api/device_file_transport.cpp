// Device-file transport: a USB printer-class device (/dev/usb/lp*) or a serial
// port (/dev/ttyS*), opened as a file. The handle is the file descriptor.
//
// The descriptor is non-blocking: a printer sends nothing unless asked and
// may stop taking data, so a blocking read or write could outlast any
// time-out. Every loop waits with poll bounded by the time left, and pauses
// after a pass that moved nothing although poll said ready (a hung-up device
// is always ready), so that no loop ever spins.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "deadline.h"
#include "device_file_io.h"
#include "device_file_wait.h"
#include "error_codes.h"
#include "port_name.h"
#include "serial_settings.h"
#include "transport.h"
#include "unique_fd.h"

namespace orvy::api {
namespace {

constexpr unsigned long kClearQuietMs = 100;
constexpr unsigned long kClearLimitMs = 1000;
constexpr unsigned long kCloseDrainLimitMs = 1000;

constexpr unsigned long kSerialBaudRate = 115200;
constexpr unsigned char kSerialParity = 'n';
constexpr unsigned char kSerialStopBits = 1;

// The descriptor of the process-wide connection, -1 when there is none. A
// plain int: a connection left open at exit is not closed behind the
// application.
int current_fd = -1;

bool is_current(intptr_t printer) { return current_fd >= 0 && printer == current_fd; }

// Linux ignores O_EXCL on character devices. The lock is the one that other
// serial tools honour; TIOCEXCL makes the kernel refuse further opens of a
// terminal. A port held elsewhere is refused at once with EBUSY, before
// anything reaches it. The lock belongs to the open file, so a second open
// in this same process is refused as well.
bool take_port_for_this_process(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        errno = EBUSY;
        return false;
    }
    if (::isatty(fd)) (void)::ioctl(fd, TIOCEXCL);
    return true;
}

// How a device that was unplugged answers a transfer: usblp with ENODEV, a
// hung-up terminal with EIO to a write and with end of file to a read (a
// port in our settings says "would block" when it merely has nothing).
bool is_gone(int fd, ssize_t count)
{
    if (count < 0) return errno == ENODEV || errno == EIO;
    if (count > 0) return false;
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLHUP) != 0;
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
FileMoved transfer_within(int fd, unsigned char *data, std::size_t size, unsigned long timeout_ms,
                          short events, TransferStep step, OnGone on_gone)
{
    Deadline deadline(timeout_ms);
    const unsigned long pause = polling_pause_ms(timeout_ms);
    FileMoved moved;
    bool woken = false;  // the last wait ended early: the device claimed to be ready
    while (moved.count < size) {
        const ssize_t count = step(fd, data + moved.count, size - moved.count);
        if (count > 0) {
            moved.count += static_cast<std::size_t>(count);
            woken = false;
        } else if (on_gone == OnGone::stop && is_gone(fd, count)) {
            moved.gone = true;
            break;
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

void file_release()
{
    if (current_fd < 0) return;
    close_device_file(std::exchange(current_fd, -1));
}

intptr_t file_open(const char *port)
{
    // The earlier connection would hold the lock on the very port a reopen asks for.
    file_release();
    const int fd = open_device_file(port);
    if (fd < 0) return kCannotOpen;
    current_fd = fd;
    return current_fd;
}

int file_write(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    const FileMoved sent =
        write_within(static_cast<int>(printer), data, static_cast<std::size_t>(size), timeout_ms,
                     OnGone::keep_polling);
    return static_cast<int>(sent.count);
}

int file_read(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    const FileMoved got =
        read_within(static_cast<int>(printer), data, static_cast<std::size_t>(size), timeout_ms,
                    OnGone::keep_polling);
    return static_cast<int>(got.count);
}

int file_clear(intptr_t printer)
{
    (void)discard_input(static_cast<int>(printer), OnGone::keep_polling);
    return 1;
}

void file_close(intptr_t /*printer: the current one*/) { file_release(); }

}  // namespace

int open_device_file(const char *port)
{
    UniqueFd fd(::open(port, O_RDWR | O_NOCTTY | O_EXCL | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return -1;
    if (!take_port_for_this_process(fd.get())) {
        const int refused = errno;
        fd.reset();
        errno = refused;
        return -1;
    }
    if (is_serial_port(port)) {
        apply_serial_settings(fd.get(), kSerialBaudRate, kSerialParity, kSerialStopBits);
    }
    return fd.release();
}

FileMoved write_within(int fd, const unsigned char *data, std::size_t size,
                       unsigned long timeout_ms, OnGone on_gone)
{
    // write() only reads the buffer; the shared loop takes it non-const for read().
    return transfer_within(fd, const_cast<unsigned char *>(data), size, timeout_ms, POLLOUT,
                           write_step, on_gone);
}

FileMoved read_within(int fd, unsigned char *data, std::size_t size, unsigned long timeout_ms,
                      OnGone on_gone)
{
    return transfer_within(fd, data, size, timeout_ms, POLLIN, read_step, on_gone);
}

// Reads and drops input until none has arrived for 100 ms; a device that
// keeps sending is cut off after 1000 ms.
bool discard_input(int fd, OnGone on_gone)
{
    Deadline total(kClearLimitMs);
    Deadline quiet(kClearQuietMs);
    unsigned char scratch[kClearChunkBytes];
    bool woken = false;
    for (;;) {
        const ssize_t count = ::read(fd, scratch, sizeof scratch);
        if (count > 0) {
            quiet.restart();
            woken = false;
        } else if (on_gone == OnGone::stop && is_gone(fd, count)) {
            return true;
        } else if (woken) {
            pause_ms(kClearPauseMs);
            woken = false;
        } else {
            const unsigned long remaining = std::min(quiet.remaining_ms(), total.remaining_ms());
            woken = remaining > 0 && wait_until_ready(fd, POLLIN, remaining);
        }
        if (quiet.expired() || total.expired()) break;
    }
    return false;
}

void close_device_file(int descriptor)
{
    UniqueFd fd(descriptor);
    drain_output(fd.get(), kCloseDrainLimitMs);
    // The terminal stays exclusive for as long as anybody holds it open (a
    // pty's other side, a getty): give it back for the next opener.
    if (::isatty(fd.get())) (void)::ioctl(fd.get(), TIOCNXCL);
}

const Transport kDeviceFileTransport = {
    .open = file_open,
    .owns = is_current,
    .release = file_release,
    .write = file_write,
    .read = file_read,
    .clear = file_clear,
    .close = file_close,
};

}  // namespace orvy::api
