// The report of one record, checked against lines built from the record
// tables: field decoding edges, line shapes and flushing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "expected_output.h"
#include "messages.h"
#include "report.h"
#include "sim_run.h"

namespace {

using namespace orvy::test::inquiry;

// A FILE* whose contents a test can read; `flushed()` is what has left the
// stream's buffer so far.
class MemoryStream {
public:
    MemoryStream() : file_(open_memstream(&data_, &size_)) {}
    ~MemoryStream()
    {
        if (file_ != nullptr) std::fclose(file_);
        std::free(data_);
    }
    MemoryStream(const MemoryStream &) = delete;
    MemoryStream &operator=(const MemoryStream &) = delete;

    std::FILE *file() { return file_; }
    std::string flushed() const { return std::string(data_, size_); }
    std::string text()
    {
        std::fflush(file_);
        return flushed();
    }

private:
    char *data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE *file_;
};

std::string report(unsigned mask, const std::vector<std::uint8_t> &bytes, bool verbose)
{
    MemoryStream out;
    orvy::inquiry::report_block(out.file(), mask, expected_record(mask).inquiry_name, bytes,
                                verbose);
    return out.text();
}

std::vector<std::uint8_t> record_with(unsigned mask, int offset,
                                      const std::vector<std::uint8_t> &patch)
{
    std::vector<std::uint8_t> bytes(expected_record(mask).size, 0);
    std::copy(patch.begin(), patch.end(), bytes.begin() + offset);
    return bytes;
}

std::vector<std::uint8_t> text_bytes(const std::string &text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> counting(int count, int first = 0)
{
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(first + i));
    return bytes;
}

struct FieldCase {
    const char *what;
    unsigned mask;
    int offset;
    std::vector<std::uint8_t> patch;
    std::string name;
    std::string value;
};

class FieldDecoding : public testing::TestWithParam<FieldCase> {};

TEST_P(FieldDecoding, PrintsTheFieldLineFromTheStoredBytes)
{
    const FieldCase &c = GetParam();
    const std::string output = report(c.mask, record_with(c.mask, c.offset, c.patch), true);
    const std::string wanted = field_line(c.name, c.value);
    EXPECT_NE(output.find(wanted), std::string::npos)
        << c.what << "\nwanted: " << wanted << "output:\n"
        << output;
}

const std::string kSlotX11(11, 'X');
const std::string kSlotZ13(13, 'Z');
const std::string kSlotA21(21, 'A');

INSTANTIATE_TEST_SUITE_P(
    Edges, FieldDecoding,
    testing::Values(
        FieldCase{
            "signed 16-bit E7 FF", 0x01, 5, {0xE7, 0xFF}, "printer_status.siPrintHeadTempC", "-25"},
        FieldCase{"signed 16-bit minimum",
                  0x04,
                  19,
                  {0x00, 0x80},
                  "printer_sensor.siPrintHeadTempC",
                  "-32768"},
        FieldCase{"unsigned 16-bit FF FF",
                  0x01,
                  7,
                  {0xFF, 0xFF},
                  "printer_status.wBoardVoltageTv",
                  "65535"},
        FieldCase{"16-bit little-endian",
                  0x04,
                  21,
                  {0x34, 0x12},
                  "printer_sensor.wBoardVoltageTv",
                  "4660"},
        FieldCase{"unsigned byte in decimal",
                  0x04,
                  0,
                  {0xFF},
                  "printer_sensor.ubProtocolRevision",
                  "255"},
        FieldCase{"32-bit decimal is signed",
                  0x10,
                  6,
                  {0xFF, 0xFF, 0xFF, 0xFF},
                  "printer_present.dwNrOfProcessedPages",
                  "-1"},
        FieldCase{"32-bit decimal minimum",
                  0x10,
                  10,
                  {0x00, 0x00, 0x00, 0x80},
                  "printer_present.dwNrOfEjectedPages",
                  "-2147483648"},
        FieldCase{"32-bit little-endian",
                  0x10,
                  14,
                  {0x78, 0x56, 0x34, 0x12},
                  "printer_present.dwNrOfRejectedPages",
                  "305419896"},
        FieldCase{"32-bit unsigned form",
                  0x20,
                  1,
                  {0xFF, 0xFF, 0xFF, 0xFF},
                  "printer_life.dwTimePoweredS",
                  "4294967295"},
        FieldCase{"16-bit unsigned form",
                  0x20,
                  29,
                  {0xFF, 0xFF},
                  "printer_life.wNrOfPaperLoads",
                  "65535"},
        FieldCase{"hex keeps stored order",
                  0x01,
                  0,
                  {0x01, 0x00, 0x00, 0x80},
                  "printer_status.dwStatus",
                  "[01000080]"},
        FieldCase{"hex word", 0x01, 10, {0x34, 0x12}, "printer_status.wError", "[3412]"},
        FieldCase{"hex byte", 0x01, 4, {0x0A}, "printer_status.ubPrintJobId", "[0A]"},
        FieldCase{"sixteen bytes in one group", 0x04, 1, counting(16, 0xF0),
                  "printer_sensor.ubAdcMeasurement", "[F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF]"},
        FieldCase{"text up to its zero byte", 0x02, 1, text_bytes(std::string("AB\0CD", 5)),
                  "printer_info.szPartNr", "\"AB\""},
        FieldCase{"empty text slot", 0x02, 18, {0x00, 'Q'}, "printer_info.szSerialNr", "\"\""},
        FieldCase{"full slot stops at its end", 0x02, 81, text_bytes(kSlotX11 + kSlotZ13),
                  "printer_info.szFwVersion", "\"" + kSlotX11 + "\""},
        FieldCase{"full last slot before a word", 0x02, 92, text_bytes(kSlotZ13 + "ABCD"),
                  "printer_info.szFwDate", "\"" + kSlotZ13 + "\""},
        FieldCase{"grouped hex of four-byte entries", 0x08, 127, counting(24, 0xA0),
                  "printer_flash.wCrc16",
                  "[A0A1A2A3] [A4A5A6A7] [A8A9AAAB] [ACADAEAF] [B0B1B2B3] [B4B5B6B7]"},
        FieldCase{"grouped hex of single bytes", 0x08, 151, counting(6, 0x1F),
                  "printer_flash.ubState", "[1F] [20] [21] [22] [23] [24]"},
        FieldCase{"six empty texts",
                  0x08,
                  1,
                  {},
                  "printer_flash.szInfo",
                  "\"\" \"\" \"\" \"\" \"\" \"\" "},
        FieldCase{"six texts, one full", 0x08, 1,
                  text_bytes(std::string("ONE") + std::string(18, '\0') + kSlotA21 + "THREE"),
                  "printer_flash.szInfo",
                  "\"ONE\" \"" + kSlotA21 + "\" \"THREE\" \"\" \"\" \"\" "}),
    [](const auto &info) { return test_name(info.param.what); });

TEST(Report, VerbosePrintsTheHexLineThenEveryFieldLine)
{
    for (const auto &record : expected_records()) {
        std::vector<std::uint8_t> bytes = counting(record.size, 0x41);
        EXPECT_EQ(report(record.mask, bytes, true), expected_report(record, bytes, true))
            << record.inquiry_name;
    }
}

TEST(Report, WithoutVerboseOnlyTheHexLine)
{
    for (const auto &record : expected_records()) {
        std::vector<std::uint8_t> bytes = counting(record.size, 0x80);
        EXPECT_EQ(report(record.mask, bytes, false), expected_report(record, bytes, false))
            << record.inquiry_name;
    }
}

TEST(Report, LineCountsAndColumnOfTheEqualsSign)
{
    const std::vector<std::pair<unsigned, int>> field_lines{{0x01, 6}, {0x02, 11}, {0x04, 15},
                                                            {0x08, 4}, {0x10, 8},  {0x20, 9}};
    for (const auto &[mask, count] : field_lines) {
        const auto lines = orvy::test::lines_of(
            report(mask, std::vector<std::uint8_t>(expected_record(mask).size, 0), true));
        EXPECT_EQ(static_cast<int>(lines.size()), 1 + count) << "mask " << mask;
        for (const auto &line : lines) EXPECT_EQ(line.substr(50, 3), " = ") << line;
    }
}

TEST(Report, HexLineShowsTheUnnamedTrailingBytes)
{
    const auto flash = counting(163, 0x10);
    const std::string line = report(0x08, flash, false);
    EXPECT_EQ(line.size(), 50 + 3 + 1 + 1 + 326 + 1 + 1u);
    EXPECT_NE(line.find("A8A9AAABACADAEAFB0B1B2]"), std::string::npos) << line;

    const std::string status = report(0x01, record_with(0x01, 12, {0xC0, 0xDE}), false);
    EXPECT_EQ(status, field_line("printer_status", "1[" + std::string(24, '0') + "C0DE]"));
}

TEST(Report, FlushesTheHexLineButNotTheFieldLines)
{
    MemoryStream out;
    const auto bytes = counting(39);
    orvy::inquiry::report_block(out.file(), 0x20, "printer_life", bytes, true);
    EXPECT_EQ(out.flushed(), expected_report(expected_record(0x20), bytes, false));
    EXPECT_EQ(out.text(), expected_report(expected_record(0x20), bytes, true));
}

TEST(Messages, BannerCarriesTheBuildDateAndTime)
{
    MemoryStream out;
    orvy::inquiry::print_banner(out.file(), {"Aug  5 2018", "11:02:41"});
    EXPECT_EQ(out.flushed(),
              "# Velmora - Orvy_InquiryTool - Version R3-V1.04e-BETA - Aug  5 2018 - 11:02:41\n");
}

TEST(Messages, HelpIsFlushedWhole)
{
    MemoryStream out;
    orvy::inquiry::print_help(out.file());
    EXPECT_EQ(out.flushed(), expected_help());
}

}  // namespace
