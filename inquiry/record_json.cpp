#include "record_json.h"

#include "field_values.h"

namespace orvy::inquiry {

std::string json_field_value(const FieldLayout &field, std::span<const unsigned char> record)
{
    const auto bytes = field_bytes(field, record);
    if (bytes.empty()) return std::string(json::kNull);
    const auto as_text = [](std::span<const unsigned char> slot) {
        return json::bytes_string(slot_text(slot));
    };
    const auto as_hex = [](std::span<const unsigned char> group) {
        return json::bytes_string(hex_text(group));
    };
    json::Array groups;
    switch (field.form) {
    case FieldForm::decimal:
    case FieldForm::signed_decimal:
    case FieldForm::unsigned_decimal: return json::number(field_number(field, bytes));
    case FieldForm::text: return as_text(bytes);
    case FieldForm::hex: return as_hex(bytes);
    case FieldForm::grouped_hex:
        for (std::size_t i = 0; i < field.groups; ++i) {
            groups.add(as_hex(field_group(field, bytes, i)));
        }
        return groups.text();
    case FieldForm::six_texts:
        for (std::size_t i = 0; i < field.groups; ++i) {
            groups.add(as_text(field_group(field, bytes, i)));
        }
        return groups.text();
    }
    return std::string(json::kNull);
}

std::string json_fields(const RecordLayout &layout, std::span<const unsigned char> record,
                        json::Layout object_layout)
{
    json::Object fields(object_layout);
    for (const FieldLayout &field : layout.fields) {
        fields.add(field.name, json_field_value(field, record));
    }
    return fields.text();
}

}  // namespace orvy::inquiry
