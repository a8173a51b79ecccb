// The command line of the real program: every case that stops before or at
// the open needs no printer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_output.h"
#include "sim_run.h"

namespace {

using namespace orvy::test::inquiry;

// A device file that does not exist, so the open fails with -1.
constexpr const char *kMissingPort = "/dev/usb/lp99";

std::string invalid(int position, const std::string &argument)
{
    return "! Orvy_InquiryTool: invalid argument (argument " + std::to_string(position) + ", \"" +
           argument + "\")\n";
}

const std::string kMissingPortLine =
    "! Orvy_InquiryTool: missing printer port (e.g. \"\\dev\\usb\\lp0\")\n";
const std::string kMissingArgumentsLine = "! Orvy_InquiryTool: missing arguments\n";
const std::string kOpenFailedLine =
    std::string("! Orvy_InquiryTool: could not open connection \"") + kMissingPort +
    "\"to printer, error=-1 \n";
const std::string kOpening =
    std::string("# Opening connection to printer port \"") + kMissingPort + "\" ... ";

struct CommandLineCase {
    const char *what;
    std::vector<std::string> arguments;
    std::string output;  // banner lines as "<banner>"
};

class CommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, PrintsTheMessagesAndFailsWithStatus255)
{
    const CommandLineCase &c = GetParam();
    std::vector<std::string> command{ORVY_INQUIRY_TOOL_PATH};
    command.insert(command.end(), c.arguments.begin(), c.arguments.end());
    const auto result = orvy::test::run_program(command);
    EXPECT_EQ(with_banner_marked(result.out), c.output) << c.what;
    EXPECT_EQ(result.exit_status, 255) << c.what;
    EXPECT_EQ(result.err, "") << c.what;
}

const std::string kBannerAndHelp = "<banner>\n" + expected_help();

INSTANTIATE_TEST_SUITE_P(
    Errors, CommandLine,
    testing::Values(
        CommandLineCase{"no arguments", {}, kMissingPortLine + kBannerAndHelp},
        CommandLineCase{"options only", {"-s", "-v"}, kMissingPortLine + kBannerAndHelp},
        CommandLineCase{"help alone", {"-h"}, kMissingPortLine + kBannerAndHelp},
        CommandLineCase{"port without code, silent",
                        {"-s", "/dev/usb/lp0"},
                        kMissingArgumentsLine + kBannerAndHelp},
        CommandLineCase{"code with a non-hex digit",
                        {"/dev/usb/lp0", "[1G]"},
                        invalid(2, "[1G]") + kBannerAndHelp},
        CommandLineCase{"code of three characters",
                        {"/dev/usb/lp0", "[01"},
                        invalid(2, "[01") + kBannerAndHelp},
        CommandLineCase{"code without brackets",
                        {"/dev/usb/lp0", "01"},
                        invalid(2, "01") + kBannerAndHelp},
        CommandLineCase{"code of five characters",
                        {"/dev/usb/lp0", "[01]]"},
                        invalid(2, "[01]]") + kBannerAndHelp},
        CommandLineCase{"unknown option", {"-x"}, invalid(1, "-x") + kBannerAndHelp},
        CommandLineCase{"option of two letters",
                        {"-sv", "/dev/usb/lp0", "[01]"},
                        invalid(1, "-sv") + kBannerAndHelp},
        CommandLineCase{"argument after the code",
                        {"/dev/usb/lp0", "[01]", "extra"},
                        invalid(3, "extra") + kBannerAndHelp},
        CommandLineCase{"option after the port",
                        {"/dev/usb/lp0", "-s", "[01]"},
                        invalid(2, "-s") + kBannerAndHelp},
        CommandLineCase{"port without leading slash",
                        {"dev/usb/lp0", "[01]"},
                        invalid(1, "dev/usb/lp0") + kBannerAndHelp},
        CommandLineCase{"empty port", {"-v", "", "[01]"}, invalid(2, "") + kBannerAndHelp},
        CommandLineCase{"help with a run",
                        {"-h", kMissingPort, "[01]"},
                        kBannerAndHelp + kOpening + "failed\n" + kOpenFailedLine},
        CommandLineCase{"open failure",
                        {kMissingPort, "[3F]"},
                        "<banner>\n" + kOpening + "failed\n" + kOpenFailedLine},
        CommandLineCase{"open failure, silent",
                        {"-s", "-v", kMissingPort, "[3f]"},
                        kOpenFailedLine}),
    [](const auto &info) { return test_name(info.param.what); });

}  // namespace
