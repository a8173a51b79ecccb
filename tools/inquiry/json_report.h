// The run as one JSON document: the open, then every inquired record with its
// raw bytes and its fields as typed values, or the reason it is missing.
#pragma once

#include <cstdio>
#include <span>
#include <string>

#include "inquiry_table.h"
#include "record_json.h"

namespace orvy::inquiry {

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
    std::string port_;
    unsigned code_;
    std::string open_;
    json::Array records_;
};

}  // namespace orvy::inquiry
