// Hex text as the transcript and the --pending option use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bytes.h"

namespace orvy::sim {

// "1D 61 01": upper-case pairs separated by single blanks.
std::string hex_line(const std::uint8_t *data, std::size_t size);
inline std::string hex_line(const Bytes &bytes) { return hex_line(bytes.data(), bytes.size()); }

// Pairs of hex digits, optionally separated by blanks, commas or colons.
// Nothing when a digit is missing or anything else appears.
std::optional<Bytes> parse_hex(std::string_view text);

}  // namespace orvy::sim
