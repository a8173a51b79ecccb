// Too few arguments: the usage text with the program's own name, nothing
// else, and exit status 0.
#include "demo_output.h"

namespace orvy::test::demos {
namespace {

struct UsageCase {
    std::string name;
    std::string program;
    std::vector<std::string> arguments;
    NAMED_CASE(UsageCase)
};

class DemoUsageTest : public testing::TestWithParam<UsageCase> {};

TEST_P(DemoUsageTest, PrintsOnlyTheUsageTextAndExitsWithZero)
{
    std::vector<std::string> command{GetParam().program};
    command.insert(command.end(), GetParam().arguments.begin(), GetParam().arguments.end());

    const RunResult run = run_program(command);

    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, usage(GetParam().program));
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Samples, DemoUsageTest,
                         testing::Values(UsageCase{"InquiryStatus", kInquiryStatus, {}},
                                         UsageCase{"FormFeed", kFormFeed, {}},
                                         UsageCase{"PageLength", kPageLength, {}},
                                         UsageCase{"PageLengthPortAlone", kPageLength, {kUsbPort}}),
                         kCaseName);

TEST(DemoUsageTest, PageLengthWithThePortAloneLeavesThePrinterAlone)
{
    const RunResult run = run_under_simulator({}, {kPageLength, kUsbPort});
    SKIP_WITHOUT_SIMULATOR(run);

    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, usage(kPageLength));
    EXPECT_EQ(run.log.find("usb"), std::string::npos) << run.log;
}

}  // namespace
}  // namespace orvy::test::demos
