// Successful runs: the whole output, and the bytes that reached the printer.
#include "demo_output.h"

namespace orvy::test::demos {
namespace {

// Host-to-printer lines of the USB transcript, one per bulk transfer.
std::vector<std::string> usb_transfers_out(const std::string &log)
{
    std::vector<std::string> transfers;
    for (const auto &line : lines_of(log)) {
        if (line.rfind("usb > ", 0) == 0) transfers.push_back(line.substr(6));
    }
    return transfers;
}

// The connection is given back: the interface is released after the last write.
void expect_released_after_last_write(const std::string &log)
{
    const auto last_write = log.rfind("usb > ");
    const auto release = log.rfind("usb: release interface 0");
    ASSERT_NE(release, std::string::npos) << log;
    EXPECT_GT(release, last_write) << log;
}

TEST(DemoSuccessfulRunTest, FormFeedSendsFormFeedThenFullCutInTwoWrites)
{
    const RunResult run = run_under_simulator({}, {kFormFeed, kUsbPort});
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(with_handle_placeholder(run.out), start_banner(kFormFeed) +
                                                    parameter_block(kUsbPort, "<handle>") +
                                                    "--- FORM FEED CMD SENT OK\n"
                                                    "--- FULL CUT CMD SENT OK\n" +
                                                    end_banner(kFormFeed));
    EXPECT_EQ(usb_transfers_out(run.log), (std::vector<std::string>{"0C", "1B F0 06 01 02"}));
    expect_released_after_last_write(run.log);
}

TEST(DemoSuccessfulRunTest, PageLengthSendsTheLengthInBase255ThenHardReset)
{
    const RunResult run = run_under_simulator({}, {kPageLength, kUsbPort, "1255"});
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(with_handle_placeholder(run.out), start_banner(kPageLength) +
                                                    parameter_block(kUsbPort, "<handle>", "125.5") +
                                                    "--- PAGE LENGTH CMD SENT OK\n"
                                                    "--- HARD RESET CMD SENT OK\n" +
                                                    end_banner(kPageLength));
    EXPECT_EQ(usb_transfers_out(run.log),
              (std::vector<std::string>{"1B F1 01 03 0A 04 EB", "1B F2 03 00"}));
    expect_released_after_last_write(run.log);
}

TEST(DemoSuccessfulRunTest, InquiryStatusDumpsCommandHeaderAndBlock)
{
    const RunResult run = run_under_simulator({}, {kInquiryStatus, kUsbPort});
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(usb_transfers_out(run.log), (std::vector<std::string>{"1D 61 02"}));
    const std::string answer = transcript_bytes(run.log, "usb", "<");
    ASSERT_EQ(answer.size(), (4 + 109) * 3 - 1) << "the printer's answer: " << answer;
    ASSERT_EQ(answer.substr(0, 11), "1B FF 03 6D");

    EXPECT_EQ(with_handle_placeholder(run.out),
              start_banner(kInquiryStatus) + parameter_block(kUsbPort, "<handle>") +
                  "--- PRINTER STATUS INQUIRY CMD SENT: \t\t[1D] [61] [02] \n"
                  "--- PRINTER INFO STATUS READ HEADER DATA: \t[1B] [FF] [03] [6D] \n"
                  "--- PRINTER INFO STATUS READ BODY DATA: \t" +
                  dump(answer.substr(12)) + end_banner(kInquiryStatus));
    expect_released_after_last_write(run.log);
}

// The two device-file ports: the same bytes reach the printer, the run ends well.
struct PortCase {
    std::string name;
    std::string program;
    std::string port;       // port name
    std::string log_port;   // its name in the transcript
    std::string bytes_out;  // everything the host sent
    NAMED_CASE(PortCase)
};

class DemoDeviceFilePortTest : public testing::TestWithParam<PortCase> {};

TEST_P(DemoDeviceFilePortTest, RunsToTheEndAndSendsTheCommands)
{
    const PortCase &c = GetParam();
    const bool with_length = c.program == kPageLength;
    std::vector<std::string> command{c.program, c.port};
    if (with_length) command.push_back("1255");

    const RunResult run = run_under_simulator({}, command);
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    const std::string block = parameter_block(c.port, "<handle>", with_length ? "125.5" : "");
    EXPECT_NE(with_handle_placeholder(run.out).find(block), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(end_banner(c.program)), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("ERROR"), std::string::npos) << run.out;
    EXPECT_EQ(transcript_bytes(run.log, c.log_port, ">"), c.bytes_out);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, DemoDeviceFilePortTest,
    testing::Values(PortCase{"FormFeedLp", kFormFeed, "/dev/usb/lp0", "lp", "0C 1B F0 06 01 02"},
                    PortCase{"FormFeedTty", kFormFeed, "/dev/ttyS1", "tty", "0C 1B F0 06 01 02"},
                    PortCase{"PageLengthLp", kPageLength, "/dev/usb/lp0", "lp",
                             "1B F1 01 03 0A 04 EB 1B F2 03 00"},
                    PortCase{"PageLengthTty", kPageLength, "/dev/ttyS1", "tty",
                             "1B F1 01 03 0A 04 EB 1B F2 03 00"},
                    PortCase{"InquiryStatusLp", kInquiryStatus, "/dev/usb/lp0", "lp", "1D 61 02"},
                    PortCase{"InquiryStatusTty", kInquiryStatus, "/dev/ttyS1", "tty", "1D 61 02"}),
    kCaseName);

}  // namespace
}  // namespace orvy::test::demos
