// What the printer's own records say about it, as CUPS printer-state-reasons
// with a readable message each. README.md ("Printing through CUPS") lists the
// mapping field by field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvy::backend {

// The records as they arrived; an empty one was not read.
struct PrinterRecords {
    std::vector<std::uint8_t> status;     // "printer_status", 14 bytes
    std::vector<std::uint8_t> sensor;     // "printer_sensor", 35 bytes
    std::vector<std::uint8_t> presenter;  // "printer_present", 26 bytes
};

struct Condition {
    std::string reason;   // "media-empty-error"
    std::string message;  // "Out of paper: load a new roll"
};

struct PrinterConditions {
    std::vector<Condition> conditions;  // in the order of the table, one per reason
    bool media_low = false;
    bool media_empty = false;
    // Something that keeps the printer from printing (a reason with -error).
    bool stopped() const;
};

// A head hotter than this is reported (the example alert rules use it too).
inline constexpr long long kHotHeadC = 60;

PrinterConditions conditions_of(const PrinterRecords &records);

// Every reason that conditions_of can give, so that all of them can be
// taken back.
const std::vector<std::string> &all_reasons();

}  // namespace orvy::backend
