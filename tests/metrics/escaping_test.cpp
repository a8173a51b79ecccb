// Printer texts are arbitrary bytes: they must come out as valid JSON strings
// and valid Prometheus label values, whatever the printer sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exposition.h"
#include "record_json.h"
#include "record_layouts.h"

namespace {

using orvy::inquiry::json_field_value;
using orvy::json::bytes_string;
using orvy::json::text_string;
using orvy::metrics::label_value;

TEST(Escaping, JsonStringsEscapeQuotesBackslashesAndEveryUnprintableByte)
{
    EXPECT_EQ(bytes_string("K80 \"A\\B\""), R"("K80 \"A\\B\"")");
    EXPECT_EQ(bytes_string(std::string("a\nb\x7F\xE9\x01", 6)), R"("a\u000Ab\u007F\u00E9\u0001")");
}

TEST(Escaping, TextStringsKeepValidUtf8AndEscapeTheRest)
{
    // "é" and "€" pass; a lone continuation byte, a cut sequence and an
    // overlong form do not, nor do control characters.
    EXPECT_EQ(text_string("K\xC3\xA9 \xE2\x82\xAC"), "\"K\xC3\xA9 \xE2\x82\xAC\"");
    EXPECT_EQ(text_string("\x80\t\xE2\x82\xC0\x80\"\\"),
              R"("\u0080\u0009\u00E2\u0082\u00C0\u0080\"\\")");
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
