#include "field_values.h"

#include <algorithm>

namespace orvy::inquiry {
namespace {

int sign_extended(std::uint32_t value, std::size_t width)
{
    switch (width) {
    case 1: return static_cast<std::int8_t>(value);
    case 2: return static_cast<std::int16_t>(value);
    default: return static_cast<std::int32_t>(value);
    }
}

}  // namespace

std::uint32_t little_endian_value(std::span<const unsigned char> bytes)
{
    std::uint32_t value = 0;
    for (std::size_t i = std::min<std::size_t>(bytes.size(), 4); i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

std::string slot_text(std::span<const unsigned char> slot)
{
    const auto end = std::find(slot.begin(), slot.end(), 0);
    return std::string(slot.begin(), end);
}

std::string hex_text(std::span<const unsigned char> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

long long field_number(const FieldLayout &field, std::span<const unsigned char> bytes)
{
    const std::uint32_t value = little_endian_value(bytes);
    switch (field.form) {
    case FieldForm::signed_decimal: return sign_extended(value, bytes.size());
    case FieldForm::unsigned_decimal: return static_cast<unsigned>(value);
    default: return static_cast<int>(value);
    }
}

std::span<const unsigned char> field_bytes(const FieldLayout &field,
                                           std::span<const unsigned char> record)
{
    if (std::size_t{field.offset} + field.width > record.size()) return {};
    return record.subspan(field.offset, field.width);
}

std::span<const unsigned char> field_group(const FieldLayout &field,
                                           std::span<const unsigned char> bytes, std::size_t index)
{
    return bytes.subspan(index * field.group_width(), field.group_width());
}

}  // namespace orvy::inquiry
