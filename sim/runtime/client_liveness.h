// Whether a USB client still holds its device open, as the kernel would
// judge it. umockdev 0.17.16 notices a closed connection only while it waits
// for the client's next request: a client killed while an answer was on its
// way stays "connected" for good, and with it any claim it held.
#pragma once

#include <umockdev.h>

#include <string>

namespace orvy::sim {

// Called on the worker thread when `client` has just connected to the ioctl
// socket at `socket_path`: remembers which of our descriptors is its
// connection.
void note_client_connection(UMockdevIoctlClient *client, const std::string &socket_path);

// The client's connection has been closed at its end: every process that
// had the device open has closed it or died.
bool client_hung_up(UMockdevIoctlClient *client);

}  // namespace orvy::sim
