// Byte layouts of the six records the printer returns to an inquiry, as data:
// one table of fields per record, walked by the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace orvy::inquiry {

enum class FieldForm : std::uint8_t {
    decimal,           // little-endian number, zero-extended, "%d"
    signed_decimal,    // little-endian number, sign-extended, "%d"
    unsigned_decimal,  // little-endian number, zero-extended, "%u"
    text,              // one text slot, up to its first zero byte
    hex,               // the bytes in stored order inside one pair of brackets
    grouped_hex,       // `groups` equal runs of bytes, each in its own brackets
    six_texts,         // six equal text slots
};

struct FieldLayout {
    const char *name;  // printed name, prefix included
    std::uint16_t offset;
    std::uint16_t width;  // bytes of the whole field, all groups together
    FieldForm form;
    std::uint8_t groups = 1;  // grouped forms: the field is `groups` runs of width / groups

    constexpr std::size_t group_width() const { return width / groups; }
};

struct RecordLayout {
    std::uint8_t mask;                    // inquiry bit that fetches the record
    std::uint16_t size;                   // bytes of the record; trailing bytes may have no field
    std::span<const FieldLayout> fields;  // in rising offset order
};

// Layout of the record that the inquiry `mask` returns, or none.
const RecordLayout *record_layout_for(unsigned mask);

// Every record layout, in inquiry bit order.
std::span<const RecordLayout> record_layouts();

struct FieldLocation {
    const RecordLayout *record = nullptr;
    const FieldLayout *field = nullptr;
};

// The field with the printed name `name` and its record, or none of either.
FieldLocation field_named(std::string_view name);

}  // namespace orvy::inquiry
