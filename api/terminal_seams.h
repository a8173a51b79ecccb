// Calls on a terminal's output queue that tests may replace: a pty never
// holds output back, so it cannot show a stuck or unknown queue. Internal:
// not exported from the shared library; the tests link the library's objects.
#pragma once

namespace orvy::api::terminal_seams {

// Bytes not sent yet (TIOCOUTQ); < 0 when the driver cannot tell.
extern int (*queued_output)(int fd);
// Waits for the transmitter (tcdrain).
extern void (*wait_sent)(int fd);
// Drops what is queued (tcflush TCOFLUSH).
extern void (*discard_output)(int fd);

// Puts every seam back to the real call.
void restore_all();

}  // namespace orvy::api::terminal_seams
