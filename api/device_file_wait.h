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

// The terminal part of drain_output (its driver calls are terminal_seams).
void drain_terminal(int fd, unsigned long limit_ms);

}  // namespace orvy::api
