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
        print_bracketed_hex(out, field_group(field, bytes, group));
    }
}

void print_six_texts(std::FILE *out, const FieldLayout &field, std::span<const unsigned char> bytes)
{
    std::array<std::string, 6> texts;
    for (std::size_t slot = 0; slot < texts.size(); ++slot) {
        texts[slot] = slot_text(field_group(field, bytes, slot));
    }
    std::fprintf(out, "%-50.50s = \"%s\" \"%s\" \"%s\" \"%s\" \"%s\" \"%s\" \n", field.name,
                 texts[0].c_str(), texts[1].c_str(), texts[2].c_str(), texts[3].c_str(),
                 texts[4].c_str(), texts[5].c_str());
}

}  // namespace

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
