// The report of one fetched record: the hex line, and with verbose the field
// lines of its layout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "record_layouts.h"

namespace orvy::inquiry {

// The bytes as a number, lowest offset least significant (at most 4 bytes).
std::uint32_t little_endian_value(std::span<const unsigned char> bytes);

// The slot's text up to its first zero byte, or the whole slot when it has none.
std::string slot_text(std::span<const unsigned char> slot);

// The bytes as upper-case hex pairs in stored order, without brackets.
std::string hex_text(std::span<const unsigned char> bytes);

// The number a field of a decimal form prints as: "%d" forms as int, the
// unsigned form as unsigned. `bytes` are the field's own bytes.
long long field_number(const FieldLayout &field, std::span<const unsigned char> bytes);

// The field's bytes inside `record`, or none when the field does not fit.
std::span<const unsigned char> field_bytes(const FieldLayout &field,
                                           std::span<const unsigned char> record);

// "<name padded to 50> = <mask>[<every byte in hex>]"; flushes `out`.
void print_hex_line(std::FILE *out, const char *name, unsigned mask,
                    std::span<const unsigned char> record);

// One field line; a field that does not lie inside `record` prints nothing.
void print_field_line(std::FILE *out, const FieldLayout &field,
                      std::span<const unsigned char> record);

// The hex line, then with `verbose` the field lines of the layout for `mask`.
// Field lines are not flushed: they leave with the next flush of `out`.
void report_block(std::FILE *out, unsigned mask, const char *name,
                  std::span<const unsigned char> record, bool verbose);

}  // namespace orvy::inquiry
