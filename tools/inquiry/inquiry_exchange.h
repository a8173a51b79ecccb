// One inquiry on the wire: GS a n out, ESC FF type size and the record back.
#pragma once

#include <cstdint>
#include <cstdio>

namespace orvy::inquiry {

namespace failure {
inline constexpr const char *kSend = "Could not send inquiry to printer";
inline constexpr const char *kHeader = "Did not receive data response header";
inline constexpr const char *kSizeMismatch = "Mismatch in size of received data ";
inline constexpr const char *kTypeMismatch = "Mismatch in type of received data ";
inline constexpr const char *kData = "Did not receive inquired data";
}  // namespace failure

// Clears pending input, sends the inquiry `mask`, checks the response header
// against `type` and `size` and reads the record into `data` (`size` bytes).
// One attempt, no retry. Returns none on success, otherwise one of the
// failure texts above; header faults also print a "--- ERROR" line.
const char *lo_inquire_data(std::intptr_t printer, unsigned char mask, int type,
                            unsigned char *data, std::uint16_t size);

// The same, with the "--- ERROR" lines on `diagnostics` (none when null), for
// callers whose standard output carries a machine-read document.
const char *lo_inquire_data(std::intptr_t printer, unsigned char mask, int type,
                            unsigned char *data, std::uint16_t size, std::FILE *diagnostics);

}  // namespace orvy::inquiry
