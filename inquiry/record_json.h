// A record's fields as JSON, with the names and values that the inquiry
// tool's -j document shows.
#pragma once

#include <span>
#include <string>

#include "json_writer.h"
#include "record_layouts.h"

namespace orvy::inquiry {

// The field's value as the report prints it, typed: numbers for the decimal
// forms, strings for text and hex, arrays for the grouped and six-text forms;
// null when the field does not lie inside `record`.
std::string json_field_value(const FieldLayout &field, std::span<const unsigned char> record);

// Every field of the record as one object, field name to value.
std::string json_fields(const RecordLayout &layout, std::span<const unsigned char> record,
                        json::Layout object_layout);

}  // namespace orvy::inquiry
