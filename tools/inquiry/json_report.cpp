#include "json_report.h"

#include "Orvy_Api.h"
#include "field_values.h"
#include "record_layouts.h"

namespace orvy::inquiry {
namespace {

// The document has one member a line, each record one line of its own, and
// the fields of a record one a line below it.
constexpr json::Layout kDocument{"\n  ", ",\n  ", "\n"};
constexpr json::Layout kRecords{"\n    ", ",\n    ", "\n  "};
constexpr json::Layout kFields{"\n      ", ",\n      ", "\n    "};

json::Object record_start(unsigned mask, const char *name)
{
    json::Object record;
    record.add("name", name != nullptr ? json::bytes_string(name) : std::string(json::kNull));
    record.add("code", json::number(mask));
    return record;
}

}  // namespace

JsonReport::JsonReport(const std::string &port, unsigned code)
    : port_(port), code_(code), open_("{\"ok\": true, \"error\": 0}"), records_(kRecords)
{}

void JsonReport::open_failed(long error)
{
    open_ = json::Object()
                .add("ok", json::boolean(false))
                .add("error", json::number(error))
                .add("reason", json::bytes_string(orvy_api_strerror(static_cast<int>(error))))
                .text();
}

void JsonReport::record_received(const InquiryEntry &entry, std::span<const unsigned char> record)
{
    json::Object text = record_start(entry.mask, entry.name);
    text.add("ok", json::boolean(true)).add("hex", json::bytes_string(hex_text(record)));
    const RecordLayout *layout = record_layout_for(entry.mask);
    text.add("fields", layout != nullptr ? json_fields(*layout, record, kFields) : "{}");
    records_.add(text.text());
}

void JsonReport::record_failed(const InquiryEntry &entry, const char *reason)
{
    records_.add(record_start(entry.mask, entry.name)
                     .add("ok", json::boolean(false))
                     .add("reason", json::bytes_string(reason))
                     .text());
}

void JsonReport::inquiry_unsupported(unsigned mask)
{
    records_.add(record_start(mask, nullptr)
                     .add("ok", json::boolean(false))
                     .add("reason", json::bytes_string("data inquiry not supported"))
                     .text());
}

void JsonReport::write(std::FILE *out) const
{
    const std::string document = json::Object(kDocument)
                                     .add("port", json::bytes_string(port_))
                                     .add("code", json::number(code_))
                                     .add("open", open_)
                                     .add("records", records_.text())
                                     .text();
    std::fprintf(out, "%s\n", document.c_str());
    std::fflush(out);
}

}  // namespace orvy::inquiry
