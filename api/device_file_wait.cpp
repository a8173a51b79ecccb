#include "device_file_wait.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "deadline.h"
#include "terminal_seams.h"

namespace orvy::api {
namespace {

constexpr unsigned long kDrainPollMs = 10;

int poll_timeout(unsigned long limit_ms)
{
    return static_cast<int>(std::min<unsigned long>(limit_ms, INT_MAX));
}

// A printer-class device reports itself writable once its write in flight
// has completed; closing before that would cancel it.
void drain_device(int fd, unsigned long limit_ms)
{
    Deadline deadline(limit_ms);
    for (;;) {
        const unsigned long remaining = deadline.remaining_ms();
        if (remaining == 0) return;
        pollfd entry{fd, POLLOUT, 0};
        const int result = ::poll(&entry, 1, poll_timeout(remaining));
        if (result >= 0 || errno != EINTR) return;
    }
}

}  // namespace

// A terminal's queue can stay full for ever (flow stopped, CTS low), and
// tcdrain would then wait with it. Watch the queue instead, and leave the
// last word to tcdrain only once the queue is empty, when the driver bounds
// the wait for its transmitter by itself. What is still queued when the time
// is up, or when the queue cannot be asked, is dropped: close would otherwise
// wait for it again, up to the port's closing wait (30 s by default).
void drain_terminal(int fd, unsigned long limit_ms)
{
    Deadline deadline(limit_ms);
    for (;;) {
        const int queued = terminal_seams::queued_output(fd);
        if (queued < 0) {
            // Unknown: tcdrain could wait without bound, and so could close
            // for anything left queued.
            terminal_seams::discard_output(fd);
            return;
        }
        if (queued == 0) {
            terminal_seams::wait_sent(fd);
            return;
        }
        const unsigned long remaining = deadline.remaining_ms();
        if (remaining == 0) {
            terminal_seams::discard_output(fd);
            return;
        }
        pause_ms(std::min(remaining, kDrainPollMs));
    }
}

bool wait_until_ready(int fd, short events, unsigned long limit_ms)
{
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, poll_timeout(limit_ms)) != 0;
}

void drain_output(int fd, unsigned long limit_ms)
{
    if (::isatty(fd)) {
        drain_terminal(fd, limit_ms);
    } else {
        drain_device(fd, limit_ms);
    }
}

}  // namespace orvy::api
