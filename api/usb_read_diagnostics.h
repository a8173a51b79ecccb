// Diagnostic lines of the USB read (printed only when DEBUG_MESSAGES is 1).
#pragma once

namespace orvy::api {

// The line for a bulk transfer result that delivered nothing ("READ TIMEOUT
// %d\n" for LIBUSB_ERROR_TIMEOUT, ...), or nullptr for a result without one.
const char *read_result_line(int transfer_result);

// One received packet: its length, its bytes, and when it is empty, the
// transfer result and its line.
void report_received_packet(int transfer_result, const unsigned char *packet, int received);

}  // namespace orvy::api
