// The C interface of libOrvyInquiry over the record table and layouts.
#include "Orvy_Inquiry.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "answer_header.h"
#include "field_values.h"
#include "inquiry_table.h"
#include "record_exchange.h"
#include "record_json.h"
#include "record_layouts.h"

struct orvy_inquiry_record {
    const orvy::inquiry::InquiryEntry *entry;
    const orvy::inquiry::RecordLayout *layout;
    const char *short_name;
};

namespace {

using orvy::inquiry::FieldForm;
using orvy::inquiry::FieldLayout;

constexpr std::array<const char *, 6> kShortNames{"status", "information", "sensor",
                                                  "flash",  "presenter",   "life"};

const std::array<orvy_inquiry_record, 6> &records()
{
    static const std::array<orvy_inquiry_record, 6> kRecords = [] {
        std::array<orvy_inquiry_record, 6> made{};
        const auto entries = orvy::inquiry::inquiry_table();
        for (std::size_t i = 0; i < made.size() && i < entries.size(); ++i) {
            made[i] = {&entries[i], orvy::inquiry::record_layout_for(entries[i].mask),
                       kShortNames[i]};
        }
        return made;
    }();
    return kRecords;
}

const FieldLayout *field_at(const orvy_inquiry_record *record, std::size_t field)
{
    if (record == nullptr || record->layout == nullptr) return nullptr;
    if (field >= record->layout->fields.size()) return nullptr;
    return &record->layout->fields[field];
}

std::span<const unsigned char> record_bytes(const void *data, std::size_t size)
{
    if (data == nullptr) return {};
    return {static_cast<const unsigned char *>(data), size};
}

// A copy for the caller. Callers build `text` inside a try block: no
// exception may cross into C.
char *malloced(std::string_view text)
{
    auto *copy = static_cast<char *>(std::malloc(text.size() + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

bool is_number(FieldForm form)
{
    return form == FieldForm::decimal || form == FieldForm::signed_decimal ||
           form == FieldForm::unsigned_decimal;
}

}  // namespace

extern "C" {

const char *orvy_inquiry_strerror(int code)
{
    switch (code) {
    case ORVY_INQUIRY_OK: return "Success";
    case ORVY_INQUIRY_ERROR_ARGUMENT: return "Invalid argument";
    case ORVY_INQUIRY_ERROR_SEND: return "Could not send inquiry to printer";
    case ORVY_INQUIRY_ERROR_HEADER: return "Did not receive data response header";
    case ORVY_INQUIRY_ERROR_SIZE_MISMATCH: return "Mismatch in size of received data";
    case ORVY_INQUIRY_ERROR_TYPE_MISMATCH: return "Mismatch in type of received data";
    case ORVY_INQUIRY_ERROR_DATA: return "Did not receive inquired data";
    case ORVY_INQUIRY_ERROR_GONE: return "The printer is no longer there";
    case ORVY_INQUIRY_ERROR_MEMORY: return "Out of memory";
    default: return "Unknown inquiry result";
    }
}

size_t orvy_inquiry_record_count(void) { return records().size(); }

const orvy_inquiry_record *orvy_inquiry_record_at(size_t index)
{
    return index < records().size() ? &records()[index] : nullptr;
}

const orvy_inquiry_record *orvy_inquiry_record_for_mask(unsigned mask)
{
    for (const orvy_inquiry_record &record : records()) {
        if (record.entry->mask == mask) return &record;
    }
    return nullptr;
}

const orvy_inquiry_record *orvy_inquiry_record_named(const char *name)
{
    if (name == nullptr) return nullptr;
    for (const orvy_inquiry_record &record : records()) {
        if (std::strcmp(name, record.short_name) == 0 ||
            std::strcmp(name, record.entry->name) == 0) {
            return &record;
        }
    }
    return nullptr;
}

unsigned orvy_inquiry_record_mask(const orvy_inquiry_record *record)
{
    return record != nullptr ? record->entry->mask : 0;
}

const char *orvy_inquiry_record_name(const orvy_inquiry_record *record)
{
    return record != nullptr ? record->entry->name : nullptr;
}

const char *orvy_inquiry_record_short_name(const orvy_inquiry_record *record)
{
    return record != nullptr ? record->short_name : nullptr;
}

int orvy_inquiry_record_type(const orvy_inquiry_record *record)
{
    return record != nullptr ? record->entry->type : 0;
}

size_t orvy_inquiry_record_size(const orvy_inquiry_record *record)
{
    return record != nullptr ? record->entry->size : 0;
}

size_t orvy_inquiry_field_count(const orvy_inquiry_record *record)
{
    return record != nullptr && record->layout != nullptr ? record->layout->fields.size() : 0;
}

const char *orvy_inquiry_field_name(const orvy_inquiry_record *record, size_t field)
{
    const FieldLayout *layout = field_at(record, field);
    return layout != nullptr ? layout->name : nullptr;
}

int orvy_inquiry_field_form(const orvy_inquiry_record *record, size_t field)
{
    const FieldLayout *layout = field_at(record, field);
    if (layout == nullptr) return ORVY_INQUIRY_ERROR_ARGUMENT;
    switch (layout->form) {
    case FieldForm::decimal: return ORVY_INQUIRY_FORM_DECIMAL;
    case FieldForm::signed_decimal: return ORVY_INQUIRY_FORM_SIGNED;
    case FieldForm::unsigned_decimal: return ORVY_INQUIRY_FORM_UNSIGNED;
    case FieldForm::text: return ORVY_INQUIRY_FORM_TEXT;
    case FieldForm::hex: return ORVY_INQUIRY_FORM_HEX;
    case FieldForm::grouped_hex: return ORVY_INQUIRY_FORM_HEX_LIST;
    case FieldForm::six_texts: return ORVY_INQUIRY_FORM_TEXT_LIST;
    }
    return ORVY_INQUIRY_ERROR_ARGUMENT;
}

size_t orvy_inquiry_field_offset(const orvy_inquiry_record *record, size_t field)
{
    const FieldLayout *layout = field_at(record, field);
    return layout != nullptr ? layout->offset : 0;
}

size_t orvy_inquiry_field_width(const orvy_inquiry_record *record, size_t field)
{
    const FieldLayout *layout = field_at(record, field);
    return layout != nullptr ? layout->width : 0;
}

size_t orvy_inquiry_field_groups(const orvy_inquiry_record *record, size_t field)
{
    const FieldLayout *layout = field_at(record, field);
    return layout != nullptr ? layout->groups : 0;
}

int orvy_inquiry_field_number(const orvy_inquiry_record *record, size_t field, const void *data,
                              size_t size, long long *value)
{
    const FieldLayout *layout = field_at(record, field);
    if (layout == nullptr || value == nullptr || !is_number(layout->form)) {
        return ORVY_INQUIRY_ERROR_ARGUMENT;
    }
    const auto bytes = orvy::inquiry::field_bytes(*layout, record_bytes(data, size));
    if (bytes.empty()) return ORVY_INQUIRY_ERROR_ARGUMENT;
    *value = orvy::inquiry::field_number(*layout, bytes);
    return ORVY_INQUIRY_OK;
}

char *orvy_inquiry_field_text(const orvy_inquiry_record *record, size_t field, size_t group,
                              const void *data, size_t size)
{
    const FieldLayout *layout = field_at(record, field);
    if (layout == nullptr || is_number(layout->form) || group >= layout->groups) return nullptr;
    const auto bytes = orvy::inquiry::field_bytes(*layout, record_bytes(data, size));
    if (bytes.empty()) return nullptr;
    const auto part = orvy::inquiry::field_group(*layout, bytes, group);
    const bool hex = layout->form == FieldForm::hex || layout->form == FieldForm::grouped_hex;
    try {
        return malloced(hex ? orvy::inquiry::hex_text(part) : orvy::inquiry::slot_text(part));
    } catch (...) {
        return nullptr;
    }
}

char *orvy_inquiry_fields_json(const orvy_inquiry_record *record, const void *data, size_t size)
{
    if (record == nullptr || record->layout == nullptr || data == nullptr ||
        size != record->entry->size) {
        return nullptr;
    }
    constexpr orvy::json::Layout kFields{"\n  ", ",\n  ", "\n"};
    try {
        return malloced(
            orvy::inquiry::json_fields(*record->layout, record_bytes(data, size), kFields));
    } catch (...) {
        return nullptr;
    }
}

int orvy_inquiry_check_header(const orvy_inquiry_record *record, const unsigned char header[4])
{
    if (record == nullptr || header == nullptr) return ORVY_INQUIRY_ERROR_ARGUMENT;
    orvy::inquiry::AnswerHeader answer{};
    std::memcpy(answer.data(), header, answer.size());
    switch (orvy::inquiry::check_answer_header(answer, record->entry->type, record->entry->size)) {
    case orvy::inquiry::HeaderCheck::ok: return ORVY_INQUIRY_OK;
    case orvy::inquiry::HeaderCheck::size_mismatch: return ORVY_INQUIRY_ERROR_SIZE_MISMATCH;
    case orvy::inquiry::HeaderCheck::type_mismatch: return ORVY_INQUIRY_ERROR_TYPE_MISMATCH;
    }
    return ORVY_INQUIRY_ERROR_ARGUMENT;
}

int orvy_inquiry_exchange(orvy_api_conn *conn, const orvy_inquiry_record *record, void *data,
                          size_t size)
{
    using orvy::inquiry::ExchangeResult;
    if (conn == nullptr || record == nullptr || data == nullptr || size < record->entry->size) {
        return ORVY_INQUIRY_ERROR_ARGUMENT;
    }
    const std::span area(static_cast<unsigned char *>(data), size);
    switch (orvy::inquiry::exchange_record(conn, *record->entry, area)) {
    case ExchangeResult::ok: return ORVY_INQUIRY_OK;
    case ExchangeResult::send_failed: return ORVY_INQUIRY_ERROR_SEND;
    case ExchangeResult::no_header: return ORVY_INQUIRY_ERROR_HEADER;
    case ExchangeResult::size_mismatch: return ORVY_INQUIRY_ERROR_SIZE_MISMATCH;
    case ExchangeResult::type_mismatch: return ORVY_INQUIRY_ERROR_TYPE_MISMATCH;
    case ExchangeResult::data_incomplete: return ORVY_INQUIRY_ERROR_DATA;
    case ExchangeResult::printer_gone: return ORVY_INQUIRY_ERROR_GONE;
    }
    return ORVY_INQUIRY_ERROR_ARGUMENT;
}

void orvy_inquiry_free(void *memory) { std::free(memory); }

}  // extern "C"
