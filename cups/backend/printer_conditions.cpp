#include "printer_conditions.h"

#include <Orvy_Inquiry.h>

#include <cstdio>
#include <cstring>
#include <optional>

namespace orvy::backend {
namespace {

// A field of a record by its printed name, its bytes taken little-endian
// (hex forms included) from where libOrvyInquiry says it lies.
std::optional<unsigned long long> field(const char *record_name, const char *field_name,
                                        const std::vector<std::uint8_t> &data)
{
    const orvy_inquiry_record *record = orvy_inquiry_record_named(record_name);
    if (!record || data.size() != orvy_inquiry_record_size(record)) return std::nullopt;
    for (std::size_t i = 0; i < orvy_inquiry_field_count(record); ++i) {
        if (std::strcmp(orvy_inquiry_field_name(record, i), field_name) != 0) continue;
        const std::size_t offset = orvy_inquiry_field_offset(record, i);
        const std::size_t width = orvy_inquiry_field_width(record, i);
        if (width > 8 || offset + width > data.size()) return std::nullopt;
        unsigned long long value = 0;
        for (std::size_t b = width; b-- > 0;) value = value << 8 | data[offset + b];
        return value;
    }
    return std::nullopt;
}

std::optional<long long> signed_field(const char *record_name, const char *field_name,
                                      const std::vector<std::uint8_t> &data)
{
    const auto raw = field(record_name, field_name, data);
    if (!raw) return std::nullopt;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(*raw));
}

std::string hex(unsigned long long value, int digits)
{
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, value);
    return text;
}

class Collector {
public:
    void add(const std::string &reason, const std::string &message)
    {
        for (Condition &c : conditions_) {
            if (c.reason == reason) {
                c.message += "; " + message;
                return;
            }
        }
        conditions_.push_back({reason, message});
    }
    std::vector<Condition> take() { return std::move(conditions_); }

private:
    std::vector<Condition> conditions_;
};

}  // namespace

bool PrinterConditions::stopped() const
{
    for (const Condition &c : conditions) {
        const std::string suffix = "-error";
        if (c.reason.size() > suffix.size() &&
            c.reason.compare(c.reason.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return true;
        }
    }
    return false;
}

const std::vector<std::string> &all_reasons()
{
    static const std::vector<std::string> kReasons{"media-empty-error", "media-low-report",
                                                   "cover-open-error",  "other-error",
                                                   "other-warning",     "other-report",
                                                   "offline-report"};
    return kReasons;
}

PrinterConditions conditions_of(const PrinterRecords &records)
{
    const auto &st = records.status;
    const auto &se = records.sensor;
    const auto &pr = records.presenter;
    const auto status_word = field("status", "printer_status.dwStatus", st);
    const auto state = field("status", "printer_status.ubState", st);
    const auto error_word = field("status", "printer_status.wError", st);
    const auto head_c = signed_field("status", "printer_status.siPrintHeadTempC", st);
    const auto pre_end = field("sensor", "printer_sensor.ubPaperPreEndSensorState", se);
    const auto entry1 = field("sensor", "printer_sensor.ubPaperEntrySensor1State", se);
    const auto entry2 = field("sensor", "printer_sensor.ubPaperEntrySensor2State", se);
    const auto head_up = field("sensor", "printer_sensor.ubHeadUpSensorState", se);
    const auto presenter_state = field("presenter", "printer_present.ubState", pr);

    const auto bit = [](const std::optional<unsigned long long> &word, unsigned n) {
        return word && (*word >> n & 1U) != 0;
    };

    PrinterConditions out;
    Collector found;
    out.media_empty = bit(status_word, 3) || bit(error_word, 0) || (state && *state == 0x02) ||
                      (entry1 && entry2 && *entry1 == 0 && *entry2 == 0);
    out.media_low = !out.media_empty && (bit(status_word, 2) || (pre_end && *pre_end != 0));
    if (out.media_empty) found.add("media-empty-error", "Out of paper: load a new roll");
    if (out.media_low) found.add("media-low-report", "Paper near its end");

    bool cover_open = false;
    if (status_word && !bit(status_word, 31)) {
        found.add("cover-open-error", "Cover open");
        cover_open = true;
    }
    if (head_up && *head_up != 0) {
        found.add("cover-open-error", "Print head lifted");
        cover_open = true;
    }
    if (error_word && (*error_word & ~1ULL) != 0) {
        found.add("other-error", "Printer error " + hex(*error_word, 4));
    }
    if (head_c && *head_c > kHotHeadC) {
        found.add("other-warning", "Print head at " + std::to_string(*head_c) + " C");
    }
    if (presenter_state && *presenter_state != 0x01) {
        found.add("other-warning", "Presenter not ready (state " + hex(*presenter_state, 2) + ")");
    }
    if (state && *state != 0x01 && *state != 0x02) {
        found.add("other-report", "Printer state " + hex(*state, 2));
    }
    if (status_word && !bit(status_word, 0) && !out.media_empty && !cover_open) {
        found.add("offline-report", "Printer not ready");
    }
    out.conditions = found.take();
    return out;
}

}  // namespace orvy::backend
