// Open on the USB bulk transport against the simulated printer: bus paths,
// identity, kernel driver, claim, descriptor shapes and diagnostics.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "usb_scenario.h"

namespace orvy::api::test {
namespace {

const std::string kFreshState =
    "state communication=2 write=0x02 read=0x81 size=64 interface=0 ring=set top=0 bottom=0";

TEST(UsbOpen, OpensThePrinterAndReleasesItAtClose)
{
    const auto s = run_usb_scenario({}, {"open:" + kUsbPort, "state", "close", "state"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_GT(s.step("open").result, 0);
    ASSERT_EQ(s.states.size(), 2u);
    EXPECT_EQ(s.states[0], kFreshState);
    EXPECT_EQ(s.states[1],
              "state communication=2 write=0x02 read=0x81 size=64 interface=0 ring=none top=0 "
              "bottom=0");
    EXPECT_TRUE(s.log_has("usb: claim interface 0"));
    EXPECT_TRUE(s.log_has("usb: release interface 0"));
    EXPECT_FALSE(s.log_has("usb: detach kernel driver 0")) << "no driver was attached";
}

TEST(UsbOpen, BusPathForms)
{
    struct Form {
        std::string port;
        long expected;  // 1 for "a handle"
    };
    const Form forms[] = {
        {"/dev/bus/usb/001/011", 1},  {"/dev/bus/usb//001//011", 1},
        {"/dev/bus/usb/1/11/", 1},    {"/dev/bus/usb/001/011/ignored", 1},
        {"/dev/bus/usb/001", -2},     {"/dev/bus/usb/001/012", -2},
        {"/dev/bus/usb/002/011", -2}, {"/dev/bus/usb/x/y", -2},
    };
    std::vector<std::string> steps;
    for (const auto &form : forms) {
        steps.push_back("open:" + form.port);
        steps.emplace_back("close");
    }
    const auto s = run_usb_scenario({}, steps);
    ORVY_EXPECT_CLEAN_EXIT(s);
    for (std::size_t i = 0; i < std::size(forms); ++i) {
        const long got = s.step("open", i).result;
        if (forms[i].expected == 1) {
            EXPECT_GT(got, 0) << forms[i].port;
        } else {
            EXPECT_EQ(got, forms[i].expected) << forms[i].port;
        }
    }
    EXPECT_EQ(s.log_count("usb: claim interface 0"), 4u);
    EXPECT_EQ(s.log_count("usb: release interface 0"), 4u);
}

TEST(UsbOpen, NoDeviceOnTheBusGivesMinus2)
{
    const auto s = run_usb_scenario({"--no-usb"}, {"open:" + kUsbPort, "clear", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("open").result, -2);
    EXPECT_EQ(s.step("clear").result, 0);
}

// A mistyped bus path must leave somebody else's device exactly as it was.
TEST(UsbOpen, ForeignDevicesAreRefusedUntouched)
{
    struct Identity {
        std::vector<std::string> options;
        long expected;  // 1 for "a handle"
    };
    const Identity identities[] = {
        {{"--product-id", "2"}, 1},
        {{"--product-id", "3"}, 1},
        {{"--product-id", "4"}, -2},
        {{"--product-id", "0"}, -2},
        {{"--vendor-id", "0x1234"}, -2},
        {{"--vendor-id", "0x1234", "--kernel-driver", "detachable"}, -2},
        {{"--product-id", "4", "--kernel-driver", "detachable"}, -2},
    };
    for (const auto &identity : identities) {
        const auto s = run_usb_scenario(identity.options, {"open:" + kUsbPort, "close"});
        ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
        ORVY_EXPECT_CLEAN_EXIT(s);
        std::string name;
        for (const auto &o : identity.options) name += o + " ";
        if (identity.expected == 1) {
            EXPECT_GT(s.step("open").result, 0) << name;
            continue;
        }
        EXPECT_EQ(s.step("open").result, -2) << name;
        for (const auto &line : orvy::test::lines_of(s.run.log)) {
            EXPECT_EQ(line.find("configuration"), std::string::npos) << name << line;
            EXPECT_EQ(line.find("detach"), std::string::npos) << name << line;
            EXPECT_EQ(line.find("claim"), std::string::npos) << name << line;
        }
    }
}

TEST(UsbOpen, DetachesTheKernelDriverBeforeClaiming)
{
    const auto s =
        run_usb_scenario({"--kernel-driver", "detachable"}, {"open:" + kUsbPort, "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_GT(s.step("open").result, 0);
    const auto lines = orvy::test::lines_of(s.run.log);
    const auto detach = std::find(lines.begin(), lines.end(), "usb: detach kernel driver 0");
    const auto claim = std::find(lines.begin(), lines.end(), "usb: claim interface 0");
    ASSERT_NE(detach, lines.end()) << s.run.log;
    ASSERT_NE(claim, lines.end()) << s.run.log;
    EXPECT_LT(detach, claim);
}

TEST(UsbOpen, ADriverThatCannotBeDetachedGivesMinus3)
{
    const auto s =
        run_usb_scenario({"--kernel-driver", "stuck"}, {"open:" + kUsbPort, "state", "clear"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("open").result, -3);
    EXPECT_EQ(s.step("clear").result, 0);
    EXPECT_EQ(s.log_count("usb: claim interface 0"), 0u);
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("ring=none"), std::string::npos);
}

TEST(UsbOpen, AnInterfaceHeldElsewhereGivesMinus4AfterAboutOneSecond)
{
    const auto s =
        run_usb_scenario({"--claim-busy", "always"}, {"debug:1", "open:" + kUsbPort, "clear"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("open").result, -4);
    EXPECT_EQ(s.step("clear").result, 0);
    EXPECT_GE(s.run.seconds, 1.0) << "gave up before its one-second limit";
    EXPECT_LT(s.run.seconds, 10.0);
    // About ten tries, 100 ms apart; each failure retries the detach.
    EXPECT_GE(s.log_count("usb: claim interface 0 refused"), 5u);
    EXPECT_LE(s.log_count("usb: claim interface 0 refused"), 11u);
    std::size_t detach_lines = 0;
    for (const auto &line : orvy::test::lines_of(s.run.out)) {
        detach_lines += line.rfind(" DETACH error = ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(detach_lines, s.log_count("usb: claim interface 0 refused"));
}

TEST(UsbOpen, AClaimThatSucceedsWithinTheLimitOpens)
{
    const auto s = run_usb_scenario({"--claim-busy", "3"}, {"open:" + kUsbPort, "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_GT(s.step("open").result, 0);
    EXPECT_EQ(s.log_count("usb: claim interface 0 refused"), 3u);
    EXPECT_EQ(s.log_count("usb: claim interface 0"), 1u);
    EXPECT_GE(s.run.seconds, 0.3);
}

TEST(UsbOpen, DescriptorShapes)
{
    struct Shape {
        std::vector<std::string> options;
        long expected;  // 1 for "a handle"
        std::string state;
    };
    const Shape shapes[] = {
        // An alternate setting with one endpoint cannot carry both directions.
        {{"--endpoints", "1"}, -7, "interface=0 ring=none"},
        // The interface number is the index of the last alternate setting;
        // there is no interface 1 to claim, so the claim runs out of time.
        {{"--alt-settings", "2"}, -4, "interface=1 ring=none"},
        // The read size follows the IN endpoint.
        {{"--in-packet-size", "512"}, 1, "size=512 interface=0 ring=set"},
        {{"--in-packet-size", "8"}, 1, "size=8 interface=0 ring=set"},
    };
    for (const auto &shape : shapes) {
        const auto s = run_usb_scenario(shape.options, {"open:" + kUsbPort, "state", "close"});
        ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
        ORVY_EXPECT_CLEAN_EXIT(s);
        const std::string name = shape.options[0] + " " + shape.options[1];
        if (shape.expected == 1) {
            EXPECT_GT(s.step("open").result, 0) << name;
        } else {
            EXPECT_EQ(s.step("open").result, shape.expected) << name;
        }
        ASSERT_EQ(s.states.size(), 1u) << name;
        EXPECT_NE(s.states[0].find(shape.state), std::string::npos) << name << ": " << s.states[0];
    }
}

TEST(UsbOpen, DiagnosticLines)
{
    const auto s = run_usb_scenario({}, {"debug:1", "open:" + kUsbPort, "close"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    const std::vector<std::string> expected = {
        " Configuration = 1",
        " Endpoints count = 2",
        " Endpoints Descriptor - Endpoint address = 81",
        " Endpoints Descriptor - Size Endpoint = 7",
        " Endpoints Descriptor - Type  descriptor= 5",
        " Endpoints Descriptor - Max packet size = 64",
        " ************************************* ",
        " Endpoints Descriptor - Endpoint address = 02",
        " Endpoint READ = 0x81",
        " Endpoint WRITE= 0x02",
    };
    for (const auto &line : expected) EXPECT_TRUE(s.out_has(line)) << line << "\n" << s.run.out;

    const auto quiet = run_usb_scenario({}, {"open:" + kUsbPort, "close"});
    ORVY_EXPECT_CLEAN_EXIT(quiet);
    EXPECT_EQ(orvy::test::lines_of(quiet.run.out).size(), 2u) << quiet.run.out;
}

}  // namespace
}  // namespace orvy::api::test
