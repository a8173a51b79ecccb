#include "terminal_seams.h"

#include <sys/ioctl.h>
#include <termios.h>

namespace orvy::api::terminal_seams {
namespace {

int queued_by_driver(int fd)
{
    int queued = 0;
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
}
void tcdrain_ignoring_result(int fd) { (void)::tcdrain(fd); }
void tcflush_output(int fd) { (void)::tcflush(fd, TCOFLUSH); }

}  // namespace

int (*queued_output)(int) = queued_by_driver;
void (*wait_sent)(int) = tcdrain_ignoring_result;
void (*discard_output)(int) = tcflush_output;

void restore_all()
{
    queued_output = queued_by_driver;
    wait_sent = tcdrain_ignoring_result;
    discard_output = tcflush_output;
}

}  // namespace orvy::api::terminal_seams
