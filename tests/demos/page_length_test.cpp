// The page length argument: atoi-style reading, base-255 encoding of the two
// bytes (low 8 bits of each), and the length shown in millimetres.
#include "demo_output.h"

namespace orvy::test::demos {
namespace {

struct PageLengthCase {
    std::string name;
    std::string argument;
    std::string hi_lo;        // last two bytes of the page length command
    std::string millimetres;  // as shown in the parameter block
    NAMED_CASE(PageLengthCase)
};

class DemoPageLengthTest : public testing::TestWithParam<PageLengthCase> {};

TEST_P(DemoPageLengthTest, SendsTheEncodedLengthAndShowsItInMillimetres)
{
    const PageLengthCase &c = GetParam();
    const RunResult run = run_under_simulator({}, {kPageLength, kUsbPort, c.argument});
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    const std::string block = parameter_block(kUsbPort, "<handle>", c.millimetres);
    EXPECT_NE(with_handle_placeholder(run.out).find(block), std::string::npos) << run.out;
    EXPECT_EQ(transcript_bytes(run.log, "usb", ">"), "1B F1 01 03 0A " + c.hi_lo + " 1B F2 03 00");
    EXPECT_NE(run.out.find(end_banner(kPageLength)), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, DemoPageLengthTest,
    testing::Values(PageLengthCase{"Zero", "0", "00 00", "0.0"},
                    PageLengthCase{"BelowOneStep", "254", "00 FE", "25.4"},
                    PageLengthCase{"OneStep", "255", "01 00", "25.5"},
                    PageLengthCase{"Thirty", "300", "01 2D", "30.0"},
                    PageLengthCase{"LargestExact", "65279", "FF FE", "6527.9"},
                    PageLengthCase{"QuotientOverflows", "65280", "00 00", "6528.0"},
                    PageLengthCase{"MinusOne", "-1", "00 FF", "-0.1"},
                    // quotient -1, remainder -45
                    PageLengthCase{"MinusThree", "-300", "FF D3", "-30.0"},
                    PageLengthCase{"NoDigits", "abc", "00 00", "0.0"},
                    PageLengthCase{"BlanksSignAndTrailingText", " +1255mm", "04 EB", "125.5"},
                    // beyond int: clamped to INT_MAX / INT_MIN rather than undefined
                    PageLengthCase{"AboveIntRange", "99999999999", "80 7F", "214748364.7"},
                    PageLengthCase{"BelowIntRange", "-99999999999", "80 80", "-214748364.8"}),
    kCaseName);

}  // namespace
}  // namespace orvy::test::demos
