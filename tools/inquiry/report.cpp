#include "report.h"

#include <algorithm>
#include <array>

namespace orvy::inquiry {
namespace {

void print_bracketed_hex(std::FILE *out, std::span<const unsigned char> bytes)
{
    std::fprintf(out, "[%s]", hex_text(bytes).c_str());
}

void print_grouped_hex(std::FILE *out, const FieldLayout &field,
                       std::span<const unsigned char> bytes)
{
    for (std::size_t group = 0; group < field.groups; ++group) {
        if (group > 0) std::fputc(' ', out);
        print_bracketed_hex(out, bytes.subspan(group * field.group_width(), field.group_width()));
    }
}

void print_six_texts(std::FILE *out, const FieldLayout &field, std::span<const unsigned char> bytes)
{
    std::array<std::string, 6> texts;
    for (std::size_t slot = 0; slot < texts.size(); ++slot) {
        texts[slot] = slot_text(bytes.subspan(slot * field.group_width(), field.group_width()));
    }
    std::fprintf(out, "%-50.50s = \"%s\" \"%s\" \"%s\" \"%s\" \"%s\" \"%s\" \n", field.name,
                 texts[0].c_str(), texts[1].c_str(), texts[2].c_str(), texts[3].c_str(),
                 texts[4].c_str(), texts[5].c_str());
}

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

void print_hex_line(std::FILE *out, const char *name, unsigned mask,
                    std::span<const unsigned char> record)
{
    std::fprintf(out, "%-50.50s = %d", name, static_cast<int>(mask));
    print_bracketed_hex(out, record);
    std::fputc('\n', out);
    std::fflush(out);
}

void print_field_line(std::FILE *out, const FieldLayout &field,
                      std::span<const unsigned char> record)
{
    const auto bytes = field_bytes(field, record);
    if (bytes.empty()) return;
    switch (field.form) {
    case FieldForm::decimal:
    case FieldForm::signed_decimal:
    case FieldForm::unsigned_decimal:
        std::fprintf(out, "%-50.50s = %lld\n", field.name, field_number(field, bytes));
        break;
    case FieldForm::text:
        std::fprintf(out, "%-50.50s = \"%s\"\n", field.name, slot_text(bytes).c_str());
        break;
    case FieldForm::hex:
        std::fprintf(out, "%-50.50s = ", field.name);
        print_bracketed_hex(out, bytes);
        std::fputc('\n', out);
        break;
    case FieldForm::grouped_hex:
        std::fprintf(out, "%-50.50s = ", field.name);
        print_grouped_hex(out, field, bytes);
        std::fputc('\n', out);
        break;
    case FieldForm::six_texts: print_six_texts(out, field, bytes); break;
    }
}

void report_block(std::FILE *out, unsigned mask, const char *name,
                  std::span<const unsigned char> record, bool verbose)
{
    print_hex_line(out, name, mask, record);
    if (!verbose) return;
    const RecordLayout *layout = record_layout_for(mask);
    if (layout == nullptr) return;
    for (const FieldLayout &field : layout->fields) print_field_line(out, field, record);
}

}  // namespace orvy::inquiry
