// Printer texts are arbitrary bytes: they must come out as valid JSON strings
// and valid Prometheus label values, whatever the printer sent.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "exposition.h"
#include "json_report.h"
#include "printer_round.h"
#include "record_layouts.h"

namespace {

using orvy::inquiry::json_field_value;
using orvy::inquiry::json_string;
using orvy::metrics::label_value;

TEST(Escaping, JsonStringsEscapeQuotesBackslashesAndEveryUnprintableByte)
{
    EXPECT_EQ(json_string("K80 \"A\\B\""), R"("K80 \"A\\B\"")");
    EXPECT_EQ(json_string(std::string("a\nb\x7F\xE9\x01", 6)), R"("a\u000Ab\u007F\u00E9\u0001")");
}

TEST(Escaping, TextSlotsStopAtTheirZeroOrTheirEnd)
{
    const auto info = orvy::inquiry::field_named("printer_info.szSerialNr");
    ASSERT_NE(info.field, nullptr);
    std::vector<unsigned char> record(info.record->size, 0);
    const std::string serial = "SN\"\xFF";
    std::copy(serial.begin(), serial.end(), record.begin() + info.field->offset);
    EXPECT_EQ(json_field_value(*info.field, record), R"("SN\"\u00FF")");
    // A slot without a zero byte ends with the slot, not in the next field.
    std::fill_n(record.begin() + info.field->offset, info.field->width + 1, 'X');
    EXPECT_EQ(json_field_value(*info.field, record),
              '"' + std::string(info.field->width, 'X') + '"');
}

TEST(Escaping, LabelValuesEscapeWhatTheExpositionFormatRequires)
{
    EXPECT_EQ(label_value("a\"b\\c\nd"), R"(a\"b\\c\nd)");
    // Not UTF-8 for certain: shown as text, so the file stays valid.
    EXPECT_EQ(label_value("\xE9\x01"), R"(\\xE9\\x01)");
}

// Every sample line of a whole metrics file stays valid when the port name
// and the printer's texts hold quotes and backslashes: one unescaped quote
// would make the collector drop the whole file.
TEST(Escaping, QuotesInThePortAndInPrinterTextsKeepEverySampleValid)
{
    orvy::metrics::PrinterRound round;
    round.port = "/dev/orvy/by-serial/K\"1\\/usb";
    const auto serial = orvy::inquiry::field_named("printer_info.szSerialNr");
    ASSERT_NE(serial.field, nullptr);
    std::vector<unsigned char> info(serial.record->size, 0);
    const std::string text = "SN\"7\\";
    std::copy(text.begin(), text.end(), info.begin() + serial.field->offset);
    round.records[0].mask = serial.record->mask;
    round.records[0].name = "printer_info";
    round.records[0].bytes = info;

    const std::regex sample(
        R"([a-zA-Z_:][a-zA-Z0-9_:]*\{[a-z_]+="(\\[\\"n]|[^\\"\n])*"(,[a-z_]+="(\\[\\"n]|[^\\"\n])*")*\} \S+)");
    int samples = 0;
    std::istringstream lines(orvy::metrics::exposition_text(round));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        EXPECT_TRUE(std::regex_match(line, sample)) << line;
        EXPECT_NE(line.find(R"(port="/dev/orvy/by-serial/K\"1\\/usb")"), std::string::npos) << line;
        ++samples;
    }
    EXPECT_GE(samples, 4);
    EXPECT_NE(orvy::metrics::exposition_text(round).find(R"(serial_number="SN\"7\\")"),
              std::string::npos);
}

}  // namespace
