// Printer texts are arbitrary bytes: they must come out as valid JSON strings
// and valid Prometheus label values, whatever the printer sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exposition.h"
#include "json_report.h"
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

}  // namespace
