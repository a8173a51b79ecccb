// The device-file transport's work on one descriptor, shared by the
// process-wide connection of orvy_api_printer_open and the connections of
// orvy_api_conn_open.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "transport.h"

namespace orvy::api {

// Opens a device-file port for this process alone (non-blocking,
// close-on-exec), with the serial settings when it is a serial line. Returns
// the descriptor, or -1 with errno set (EBUSY: somebody holds the port, in
// this process or another).
int open_device_file(const char *port);

struct FileMoved {
    std::size_t count = 0;
    bool gone = false;  // the device reported ENODEV or EIO: it is no longer there
};

// Moves up to `size` bytes within timeout_ms, whatever single transfers
// report on the way; with OnGone::stop a device that is gone ends it at once.
FileMoved write_within(int fd, const unsigned char *data, std::size_t size,
                       unsigned long timeout_ms, OnGone on_gone);
FileMoved read_within(int fd, unsigned char *data, std::size_t size, unsigned long timeout_ms,
                      OnGone on_gone);

// Reads and drops input until none has arrived for 100 ms, at most 1000 ms.
// True when the device turned out to be gone (only with OnGone::stop).
bool discard_input(int fd, OnGone on_gone);

// Lets written bytes drain (at most 1000 ms), gives a terminal's exclusive
// mode back and closes the descriptor.
void close_device_file(int fd);

}  // namespace orvy::api
