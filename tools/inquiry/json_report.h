// The run as one JSON document: the open, then every inquired record with its
// raw bytes and its fields as typed values, or the reason it is missing.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "inquiry_table.h"
#include "record_layouts.h"

namespace orvy::inquiry {

// `text` as a JSON string literal, quotes included; bytes that are not
// printable ASCII become \u00XX.
std::string json_string(std::string_view text);

// The field's value as the report prints it, typed: numbers for the decimal
// forms, strings for text and hex, arrays for the grouped and six-text forms.
std::string json_field_value(const FieldLayout &field, std::span<const unsigned char> record);

class JsonReport {
public:
    JsonReport(const std::string &port, unsigned code);

    void open_failed(long error);
    void record_received(const InquiryEntry &entry, std::span<const unsigned char> record);
    void record_failed(const InquiryEntry &entry, const char *reason);
    void inquiry_unsupported(unsigned mask);

    // Writes the document and flushes `out`.
    void write(std::FILE *out) const;

private:
    void add_record(const std::string &record);

    std::string head_;
    std::string open_ = "{\"ok\": true, \"error\": 0}";
    std::string records_;
};

}  // namespace orvy::inquiry
