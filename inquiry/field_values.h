// The values of a record's fields: numbers assembled little-endian, text slots
// and hex text, taken from the record's bytes at the layout's offsets.
#pragma once

#include <cstdint>
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

// Group `index` of a grouped or six-text field; `bytes` are the field's own.
std::span<const unsigned char> field_group(const FieldLayout &field,
                                           std::span<const unsigned char> bytes, std::size_t index);

}  // namespace orvy::inquiry
