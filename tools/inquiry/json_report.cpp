#include "json_report.h"

#include <cstdint>

#include "Orvy_Api.h"
#include "printer_connection.h"
#include "record_layouts.h"
#include "report.h"

namespace orvy::inquiry {
namespace {

template <typename Item>
std::string json_array(std::size_t count, Item item)
{
    std::string array = "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) array += ", ";
        array += item(i);
    }
    return array + "]";
}

std::string record_start(unsigned mask, const char *name)
{
    return "{\"name\": " + (name != nullptr ? json_string(name) : std::string("null")) +
           ", \"code\": " + std::to_string(mask);
}

}  // namespace

std::string json_string(std::string_view text)
{
    std::string literal = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            literal += '\\';
            literal += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            literal += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            literal += escaped;
        }
    }
    return literal + "\"";
}

std::string json_field_value(const FieldLayout &field, std::span<const unsigned char> record)
{
    const auto bytes = field_bytes(field, record);
    if (bytes.empty()) return "null";
    const auto group = [&](std::size_t i) {
        return bytes.subspan(i * field.group_width(), field.group_width());
    };
    switch (field.form) {
    case FieldForm::decimal:
    case FieldForm::signed_decimal:
    case FieldForm::unsigned_decimal: return std::to_string(field_number(field, bytes));
    case FieldForm::text: return json_string(slot_text(bytes));
    case FieldForm::hex: return json_string(hex_text(bytes));
    case FieldForm::grouped_hex:
        return json_array(field.groups,
                          [&](std::size_t i) { return json_string(hex_text(group(i))); });
    case FieldForm::six_texts:
        return json_array(field.groups,
                          [&](std::size_t i) { return json_string(slot_text(group(i))); });
    }
    return "null";
}

JsonReport::JsonReport(const std::string &port, unsigned code)
    : head_("{\n  \"port\": " + json_string(port) + ",\n  \"code\": " + std::to_string(code))
{}

void JsonReport::open_failed(long error)
{
    open_ = "{\"ok\": false, \"error\": " + std::to_string(error) +
            ", \"reason\": " + json_string(orvy_api_strerror(static_cast<int>(error))) + "}";
}

void JsonReport::record_received(const InquiryEntry &entry, std::span<const unsigned char> record)
{
    std::string text = record_start(entry.mask, entry.name) +
                       ", \"ok\": true, \"hex\": " + json_string(hex_text(record)) +
                       ", \"fields\": {";
    if (const RecordLayout *layout = record_layout_for(entry.mask)) {
        const char *separator = "\n      ";
        for (const FieldLayout &field : layout->fields) {
            text += separator + json_string(field.name) + ": " + json_field_value(field, record);
            separator = ",\n      ";
        }
        text += "\n    ";
    }
    add_record(text + "}}");
}

void JsonReport::record_failed(const InquiryEntry &entry, const char *reason)
{
    add_record(record_start(entry.mask, entry.name) +
               ", \"ok\": false, \"reason\": " + json_string(reason) + "}");
}

void JsonReport::inquiry_unsupported(unsigned mask)
{
    add_record(record_start(mask, nullptr) +
               ", \"ok\": false, \"reason\": \"data inquiry not supported\"}");
}

void JsonReport::add_record(std::string record)
{
    records_ += records_.empty() ? "\n    " : ",\n    ";
    records_ += record;
}

void JsonReport::write(std::FILE *out) const
{
    std::fprintf(out, "%s,\n  \"open\": %s,\n  \"records\": [%s%s]\n}\n", head_.c_str(),
                 open_.c_str(), records_.c_str(), records_.empty() ? "" : "\n  ");
    std::fflush(out);
}

}  // namespace orvy::inquiry
