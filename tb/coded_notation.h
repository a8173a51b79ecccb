// The coded notation of printer commands: readable text <-> raw bytes.
#pragma once

#include <cstddef>

namespace orvy::tb {

// Parses n bytes of coded text into raw, which needs room for n bytes (no
// text byte yields more than one raw byte). Returns the number of raw bytes.
// Never fails: every text has a meaning. Character classes are those of the
// current locale at the time of the call.
std::size_t parse_coded_notation(const unsigned char *text, std::size_t n,
                                 unsigned char *raw) noexcept;

// Length of the canonical coded text of n raw bytes (n >= 1), counting its
// closing bracket and terminating zero byte.
constexpr std::size_t canonical_coded_length(std::size_t n) noexcept { return 3 * n + 2; }

// Room that write_canonical_coded needs for n raw bytes: one byte more than
// it keeps, because digits are stored a word at a time.
constexpr std::size_t canonical_coded_capacity(std::size_t n) noexcept { return 3 * n + 3; }

// Writes "[XX XX ...]" and a zero byte for n >= 1 raw bytes into coded, which
// needs canonical_coded_capacity(n) bytes. Returns canonical_coded_length(n).
std::size_t write_canonical_coded(const unsigned char *raw, std::size_t n,
                                  unsigned char *coded) noexcept;

}  // namespace orvy::tb
