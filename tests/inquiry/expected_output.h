// What the inquiry tool must print, written from the record tables and message
// texts the tool is built to, independently of the tool's own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvy::test::inquiry {

inline constexpr const char *kTool = "Orvy_InquiryTool";

struct ExpectedField {
    const char *name;
    int offset;
    int width;
    char form;  // 'd' zero-extended decimal, 's' sign-extended decimal, 'u' unsigned,
                // 't' text, 'x' hex, 'g' grouped hex (6 groups), 'T' six texts
};

struct ExpectedRecord {
    unsigned mask;
    const char *inquiry_name;
    int size;
    std::vector<ExpectedField> fields;
};

// The six records in inquiry bit order.
const std::vector<ExpectedRecord> &expected_records();
const ExpectedRecord &expected_record(unsigned mask);

// `name` padded to 50 columns, " = ", `value`, newline.
std::string field_line(const std::string &name, const std::string &value);

// Hex line and, with verbose, the field lines of one record.
std::string expected_report(const ExpectedRecord &record, const std::vector<std::uint8_t> &bytes,
                            bool verbose);

// A test name made of the letters and digits of `what`.
std::string test_name(const std::string &what);

// The help block that follows the banner.
std::string expected_help();

// Replaces every banner line by "<banner>\n" after checking it against the
// banner's form (build date as "Dec  8 2026", time as "07:05:09"); a banner
// line of another form is left as it is, so the comparison fails.
std::string with_banner_marked(const std::string &output);

// The record bytes shown in the hex line of `record`, or empty when the
// output has no well-formed hex line for it.
std::vector<std::uint8_t> bytes_of_hex_line(const std::string &output,
                                            const ExpectedRecord &record);

}  // namespace orvy::test::inquiry
