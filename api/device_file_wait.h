// Bounded waiting on a device file: nothing here blocks longer than asked.
#pragma once

namespace orvy::api {

// Waits until poll reports `events` (or an error or hang-up) on fd, for at
// most limit_ms. True when poll returned early for any reason, false when the
// time ran out. A true result does not promise that a transfer will move
// anything: a hung-up device is "ready" for ever.
bool wait_until_ready(int fd, short events, unsigned long limit_ms);

// Gives bytes already handed to the driver up to limit_ms to leave: the
// output queue of a terminal, the write in flight of a printer-class device.
void drain_output(int fd, unsigned long limit_ms);

// What draining a terminal asks of its driver: the real calls, or stand-ins
// in tests (a pty never holds output back, so it cannot show a stuck queue).
struct TerminalOutput {
    int (*queued)(int fd);      // bytes not sent yet; < 0 when the driver cannot tell
    void (*wait_sent)(int fd);  // wait for the transmitter (tcdrain)
    void (*discard)(int fd);    // drop what is queued (tcflush TCOFLUSH)
};
extern const TerminalOutput kTerminalOutput;

// The terminal part of drain_output.
void drain_terminal(int fd, unsigned long limit_ms, const TerminalOutput &output = kTerminalOutput);

}  // namespace orvy::api
