// The real program against the simulated printer on all three port forms.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "expected_output.h"
#include "sim_run.h"

namespace {

using namespace orvy::test::inquiry;
using orvy::test::RunResult;

constexpr const char *kUsb = "/dev/bus/usb/001/011";
constexpr const char *kLp = "/dev/usb/lp0";
constexpr const char *kTty = "/dev/ttyS1";
constexpr int simulator_failed = 125;

const char *port_kind(const std::string &port)
{
    return port == kUsb ? "usb" : port == kLp ? "lp" : "tty";
}

RunResult run_tool(const std::vector<std::string> &sim_options,
                   const std::vector<std::string> &arguments)
{
    std::vector<std::string> command{ORVY_INQUIRY_TOOL_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return orvy::test::run_under_simulator(sim_options, command);
}

#define SKIP_IF_NO_SIMULATOR(result)                                                               \
    if ((result).exit_status == simulator_failed || (result).exit_status == -1) {                  \
        GTEST_SKIP() << "simulator not available or option unknown: " << (result).err;             \
    }

std::string opened(const std::string &port)
{
    return "# Opening connection to printer port \"" + port +
           "\" ... done\n"
           "# Sending synchronization characters ... done\n";
}

std::string closed(const std::string &port)
{
    return "# Closing connection to printer port \"" + port + "\" ... done\n";
}

std::string inquiring(const ExpectedRecord &record)
{
    char mask[3];
    std::snprintf(mask, sizeof mask, "%02X", record.mask);
    return std::string("# Inquiring data [") + mask + "] = " + record.inquiry_name +
           ", Size=" + std::to_string(record.size) + ", ...  ";
}

std::string inquired(const ExpectedRecord &record)
{
    char mask[3];
    std::snprintf(mask, sizeof mask, "%02X", record.mask);
    return std::string("done\n# Inquiry [") + mask + "] - " + record.inquiry_name + "\n";
}

// The reports of all six records as the hex lines in `output` say they must
// read; a record without a well-formed hex line makes the comparison fail.
std::string reports_from_hex_lines(const std::string &output, bool progress, bool verbose)
{
    std::string expected;
    for (const auto &record : expected_records()) {
        const auto bytes = bytes_of_hex_line(output, record);
        if (progress) expected += inquiring(record);
        if (bytes.empty()) return expected + "<no hex line for " + record.inquiry_name + ">";
        if (progress) expected += inquired(record);
        expected += expected_report(record, bytes, verbose);
    }
    return expected;
}

class FullReport : public testing::TestWithParam<const char *> {};

TEST_P(FullReport, VerbosePrintsSixHexLinesAnd53FieldLines)
{
    const std::string port = GetParam();
    const auto result = run_tool({}, {"-v", port, "[3F]"});
    SKIP_IF_NO_SIMULATOR(result);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(with_banner_marked(result.out), "<banner>\n" + opened(port) +
                                                  reports_from_hex_lines(result.out, true, true) +
                                                  closed(port));

    static const std::regex kFieldOrHexLine("printer_[a-z]+(\\.[A-Za-z0-9]+)? + = .*");
    int lines = 0;
    for (const auto &line : orvy::test::lines_of(result.out)) {
        if (!std::regex_match(line, kFieldOrHexLine)) continue;
        ++lines;
        EXPECT_EQ(line.substr(50, 3), " = ") << line;
    }
    EXPECT_EQ(lines, 6 + 53);
}

INSTANTIATE_TEST_SUITE_P(Ports, FullReport, testing::Values(kUsb, kLp, kTty),
                         [](const auto &info) { return std::string(port_kind(info.param)); });

TEST(Inquiry, SendsSynchronisationThenOneInquiryPerBitInBitOrder)
{
    const auto result = run_tool({}, {"-s", kUsb, "[3f]"});
    SKIP_IF_NO_SIMULATOR(result);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, reports_from_hex_lines(result.out, false, false));
    EXPECT_EQ(
        orvy::test::transcript_bytes(result.log, "usb", ">"),
        "00 00 00 00 00 00 00 00 00 00 1D 61 01 1D 61 02 1D 61 04 1D 61 08 1D 61 10 1D 61 20");
    // The pause after synchronising, and two around each clear.
    EXPECT_GE(result.seconds, 0.5 + 6 * 0.2);
}

TEST(Inquiry, SilentVerbosePrintsOnlyReports)
{
    const auto result = run_tool({}, {"-s", "-v", kTty, "[3F]"});
    SKIP_IF_NO_SIMULATOR(result);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out, reports_from_hex_lines(result.out, false, true));
}

TEST(Inquiry, UnsupportedBitsPrintALineEachAndTheRunSucceeds)
{
    const auto result = run_tool({}, {kLp, "[C0]"});
    SKIP_IF_NO_SIMULATOR(result);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(with_banner_marked(result.out),
              "<banner>\n" + opened(kLp) +
                  "! Orvy_InquiryTool: data inquiry [40] not supported \n"
                  "! Orvy_InquiryTool: data inquiry [80] not supported \n" +
                  closed(kLp));
    EXPECT_EQ(orvy::test::transcript_bytes(result.log, "lp", ">"), "00 00 00 00 00 00 00 00 00 00");
}

TEST(Inquiry, OpenFailurePrintsTheLibrarysCode)
{
    const auto result = run_tool({"--no-usb"}, {"-s", kUsb, "[01]"});
    SKIP_IF_NO_SIMULATOR(result);
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_EQ(result.out, std::string("! Orvy_InquiryTool: could not open connection \"") + kUsb +
                              "\"to printer, error=-2 \n");
}

struct ExchangeFailure {
    const char *what;
    std::vector<std::string> sim_options;
    const char *port;
    std::string error_line;  // "--- ERROR" line, or empty
    std::string failure;
};

class ExchangeFailures : public testing::TestWithParam<ExchangeFailure> {};

TEST_P(ExchangeFailures, PrintTheirLinesAndTheRunGoesOn)
{
    const ExchangeFailure &c = GetParam();
    const auto result = run_tool(c.sim_options, {c.port, "[01]"});
    SKIP_IF_NO_SIMULATOR(result);
    EXPECT_EQ(result.exit_status, 0) << c.what;
    EXPECT_EQ(with_banner_marked(result.out),
              "<banner>\n" + opened(c.port) + inquiring(expected_record(0x01)) + c.error_line +
                  "failed\n! Orvy_InquiryTool: inquiry [01] failed => " + c.failure + "\n" +
                  closed(c.port))
        << c.what;
}

const std::string kNoHeader = "Did not receive data response header";
const std::string kWrongSize = "Mismatch in size of received data ";
const std::string kWrongType = "Mismatch in type of received data ";
const std::string kNoData = "Did not receive inquired data";

std::string size_line(int got)
{
    return "--- ERROR: not correct data size ! ...  " + std::to_string(got) + " != 4, \n";
}

std::string data_line(int type, int size)
{
    return "--- ERROR: not correct data ! ...  " + std::to_string(type) + " ==2, " +
           std::to_string(size) + " ==14\n";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ExchangeFailures,
    testing::Values(
        ExchangeFailure{"no answer, USB", {"--silent"}, kUsb, size_line(0), kNoHeader},
        ExchangeFailure{"no answer, serial", {"--silent"}, kTty, size_line(0), kNoHeader},
        ExchangeFailure{
            "three bytes, device file", {"--short-answer", "3"}, kLp, size_line(3), kNoHeader},
        // USB delivers all or nothing.
        ExchangeFailure{"three bytes, USB", {"--short-answer", "3"}, kUsb, size_line(0), kNoHeader},
        ExchangeFailure{"wrong type", {"--answer-type", "3"}, kUsb, data_line(3, 14), kWrongType},
        ExchangeFailure{"wrong size", {"--answer-size", "16"}, kLp, data_line(2, 16), kWrongSize},
        ExchangeFailure{
            "bad first byte", {"--answer-esc", "0x00"}, kUsb, data_line(2, 14), kWrongSize},
        ExchangeFailure{
            "bad second byte", {"--answer-marker", "0"}, kTty, data_line(2, 14), kWrongSize},
        ExchangeFailure{"garbage before the header",
                        {"--garbage", "2"},
                        kUsb,
                        data_line(0x1B, 0xFF),
                        kWrongType},
        ExchangeFailure{"part of the record, USB", {"--short-answer", "10"}, kUsb, "", kNoData},
        ExchangeFailure{
            "part of the record, device file", {"--short-answer", "10"}, kLp, "", kNoData}),
    [](const auto &info) { return test_name(info.param.what); });

TEST(Inquiry, AFailedInquiryDoesNotStopTheNextOnes)
{
    // Every answer has the wrong type, so each inquiry fails on its own.
    const auto result = run_tool({"--answer-type", "9"}, {"-s", kUsb, "[21]"});
    SKIP_IF_NO_SIMULATOR(result);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.out,
              "--- ERROR: not correct data ! ...  9 ==2, 14 ==14\n"
              "! Orvy_InquiryTool: inquiry [01] failed => Mismatch in type of received data \n"
              "--- ERROR: not correct data ! ...  9 ==7, 39 ==39\n"
              "! Orvy_InquiryTool: inquiry [20] failed => Mismatch in type of received data \n");
    EXPECT_EQ(orvy::test::transcript_bytes(result.log, "usb", ">"),
              "00 00 00 00 00 00 00 00 00 00 1D 61 01 1D 61 20");
}

}  // namespace
