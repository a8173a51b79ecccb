// Failures end with one message, the clean-up, and exit status 0.
#include "demo_output.h"

namespace orvy::test::demos {
namespace {

static_assert(sizeof(unsigned long) == 8, "the printed error codes assume a 64-bit long");

// An open failure shows the code as the unsigned value of its bits.
struct OpenFailureCase {
    std::string name;
    std::vector<std::string> sim_options;
    std::string port;
    std::string printed_code;
    NAMED_CASE(OpenFailureCase)
};

class DemoOpenFailureTest : public testing::TestWithParam<OpenFailureCase> {};

TEST_P(DemoOpenFailureTest, ShowsTheCodeUnsignedAndWritesNothing)
{
    const OpenFailureCase &c = GetParam();
    for (const std::string &program : {kInquiryStatus, kFormFeed}) {
        const RunResult run = run_under_simulator(c.sim_options, {program, c.port});
        SKIP_WITHOUT_SIMULATOR(run);

        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.out, start_banner(program) + parameter_block(c.port, c.printed_code) +
                               "--- ERROR: OPENING PRINTER = " + c.port + " \n");
        EXPECT_EQ(run.log.find(" > "), std::string::npos) << run.log;
    }
}

TEST_P(DemoOpenFailureTest, PageLengthShowsTheLengthAllTheSame)
{
    const OpenFailureCase &c = GetParam();
    const RunResult run = run_under_simulator(c.sim_options, {kPageLength, c.port, "300"});
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, start_banner(kPageLength) + parameter_block(c.port, c.printed_code, "30.0") +
                           "--- ERROR: OPENING PRINTER = " + c.port + " \n");
    EXPECT_EQ(run.log.find(" > "), std::string::npos) << run.log;
}

INSTANTIATE_TEST_SUITE_P(
    Ports, DemoOpenFailureTest,
    testing::Values(
        // -2: no device at that bus and address
        OpenFailureCase{"EmptyBus", {"--no-usb"}, kUsbPort, "18446744073709551614"},
        // -1: the device file cannot be opened
        OpenFailureCase{"MissingDeviceFile", {}, "/dev/usb/lp7", "18446744073709551615"},
        // -2: a name of no known form in a fresh process
        OpenFailureCase{"UnknownForm", {}, "/tmp/printer", "18446744073709551614"}),
    kCaseName);

// The printer sends only the first 50 bytes of its answer: the header and 46
// block bytes.
class DemoShortAnswerTest : public testing::TestWithParam<std::string> {};

TEST_P(DemoShortAnswerTest, DumpsTheHeaderThenReportsTheMissingBlock)
{
    const std::string port = GetParam();
    const RunResult run = run_under_simulator({"--short-answer", "50"}, {kInquiryStatus, port});
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(with_handle_placeholder(run.out),
              start_banner(kInquiryStatus) + parameter_block(port, "<handle>") +
                  "--- PRINTER STATUS INQUIRY CMD SENT: \t\t[1D] [61] [02] \n"
                  "--- PRINTER INFO STATUS READ HEADER DATA: \t[1B] [FF] [03] [6D] \n"
                  "--- ERROR: COULD NOT READ PRINTER INFO BODY DATA !\n");
    if (port == kUsbPort) {
        EXPECT_NE(run.log.find("usb: release interface 0"), std::string::npos)
            << "the clean-up closes the connection\n"
            << run.log;
    }
}

INSTANTIATE_TEST_SUITE_P(Ports, DemoShortAnswerTest,
                         testing::Values(kUsbPort, std::string("/dev/usb/lp0")),
                         [](const testing::TestParamInfo<std::string> &info) {
                             return info.param == kUsbPort ? "Usb" : "Lp";
                         });

TEST(DemoAnswerTest, AnotherHeaderIsDumpedAndTheBlockReadAllTheSame)
{
    const RunResult run = run_under_simulator({"--answer-type", "9", "--answer-size", "0x20"},
                                              {kInquiryStatus, kUsbPort});
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("--- PRINTER INFO STATUS READ HEADER DATA: \t[1B] [FF] [09] [20] \n"
                           "--- PRINTER INFO STATUS READ BODY DATA: \t"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(end_banner(kInquiryStatus)), std::string::npos) << run.out;
}

// The printer's output is stopped: the first command fails, the second is never sent.
struct PaperOutCase {
    std::string name;
    std::vector<std::string> command;
    std::string failure_line;
    std::string never_sent;  // empty: a one-step sample
    NAMED_CASE(PaperOutCase)
};

class DemoPaperOutTest : public testing::TestWithParam<PaperOutCase> {};

TEST_P(DemoPaperOutTest, ReportsTheFailedWriteAndStops)
{
    const PaperOutCase &c = GetParam();
    const RunResult run = run_under_simulator({"--paper-out"}, c.command);
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    const std::string out = with_handle_placeholder(run.out);
    const std::string expected_end = kRule + "\n" + c.failure_line + "\n";
    ASSERT_GE(out.size(), expected_end.size());
    EXPECT_EQ(out.substr(out.size() - expected_end.size()), expected_end) << out;
    if (!c.never_sent.empty()) {
        EXPECT_EQ(transcript_bytes(run.log, "usb", ">").find(c.never_sent), std::string::npos)
            << run.log;
    }
    EXPECT_NE(run.log.find("usb: release interface 0"), std::string::npos)
        << "the clean-up closes the connection\n"
        << run.log;
}

INSTANTIATE_TEST_SUITE_P(
    Samples, DemoPaperOutTest,
    testing::Values(PaperOutCase{"FormFeed",
                                 {kFormFeed, kUsbPort},
                                 "--- ERROR: COULD NOT SENT FORM FEED CMD !",
                                 "1B F0"},
                    PaperOutCase{"PageLength",
                                 {kPageLength, kUsbPort, "1255"},
                                 "--- ERROR: COULD NOT SENT PAGE LENGTH CMD !",
                                 "1B F2"},
                    PaperOutCase{"InquiryStatus",
                                 {kInquiryStatus, kUsbPort},
                                 "--- ERROR: COULD NOT SENT PRINTER STATUS INQUIRY CMD !",
                                 ""}),
    kCaseName);

}  // namespace
}  // namespace orvy::test::demos
