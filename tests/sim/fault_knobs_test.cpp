// Every fault knob, seen from a plain libusb or termios client.
#include <gtest/gtest.h>

#include "sim_test_helpers.h"

namespace {

using orvy::test::RunResult;
using orvy::test::transcript_bytes;
using namespace orvy::sim::test;

// Options that reshape the answer, on USB and on a device file alike.
TEST(AnswerKnobs, ShapeTheAnswerOnEveryPort)
{
    struct Case {
        std::vector<std::string> options;
        const char *read;  // what "r:20:300" gets
    };
    const Case cases[] = {
        {{"--short-answer", "3"}, "r 3 1B FF 02"},
        {{"--answer-type", "3"}, "r 18 1B FF 03 0E 01 00 00 80 00 F9 FF F1 00 01 00 00 00 00"},
        {{"--answer-size", "0x10"}, "r 18 1B FF 02 10 01 00 00 80 00 F9 FF F1 00 01 00 00 00 00"},
        {{"--answer-esc", "0", "--answer-marker", "0x7F"},
         "r 18 00 7F 02 0E 01 00 00 80 00 F9 FF F1 00 01 00 00 00 00"},
        {{"--garbage", "2"}, "r 20 EE EE 1B FF 02 0E 01 00 00 80 00 F9 FF F1 00 01 00 00 00 00"},
        {{"--silent"}, "r 0 "},
    };
    for (const auto &c : cases) {
        for (const std::string &port : {kUsb, kLp}) {
            const RunResult r = client(c.options, port, {"w:1D6101", "r:20:300"});
            EXPECT_EQ(line(r, "r "), c.read) << c.options[0] << " " << port << r.err;
        }
    }
}

TEST(AnswerKnobs, DelayHoldsTheAnswerBack)
{
    const RunResult r = client({"--delay-ms", "400"}, kUsb, {"w:1D6101", "in:64:150", "in:64:800"});
    EXPECT_EQ(line(r, "in "), "in -7 0 ") << "nothing after 150 ms";
    EXPECT_EQ(line(r, "in ", 1), std::string("in 0 18 ") + kStatusAnswer);
    const RunResult lp = client({"--delay-ms", "400"}, kLp, {"w:1D6101", "r:18:150", "r:18:800"});
    EXPECT_EQ(line(lp, "r "), "r 0 ");
    EXPECT_EQ(line(lp, "r ", 1), std::string("r 18 ") + kStatusAnswer);
}

TEST(AnswerKnobs, SplitSetsThePacketsOfAnAnswer)
{
    const RunResult r = client({"--split", "4,14"}, kUsb, {"w:1D6101", "in:64", "in:64", "in:64"});
    EXPECT_EQ(line(r, "in ", 0), "in 0 4 1B FF 02 0E");
    EXPECT_EQ(line(r, "in ", 1), "in 0 14 01 00 00 80 00 F9 FF F1 00 01 00 00 00 00");
    EXPECT_EQ(line(r, "in ", 2), "in -7 0 ");
    // Full-sized packets carry on within one transfer, as on a real bus.
    const RunResult big = client({"--split", "64"}, kUsb, {"w:1D6108", "in:256"});
    EXPECT_EQ(line(big, "in ").substr(0, 9), "in 0 167 ") << big.out;
}

TEST(AnswerKnobs, TrickleSendsOneByteAtATime)
{
    const RunResult r = client({"--trickle-ms", "20"}, kUsb, {"w:1D6101", "r:18:2000"});
    EXPECT_EQ(line(r, "r "), std::string("r 18 ") + kStatusAnswer);
    int packets = 0;
    for (const auto &l : orvy::test::lines_of(r.log)) packets += l.rfind("usb < ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(packets, 18);
    EXPECT_GE(r.seconds, 17 * 0.020);
}

TEST(StreamKnobs, PendingBytesAreReadableAtOnce)
{
    for (const std::string &port : {kUsb, kLp, kTty}) {
        const RunResult r = client({"--pending", "AA BB CC"}, port, {"r:3:500"});
        EXPECT_EQ(line(r, "r "), "r 3 AA BB CC") << port;
    }
}

// Direct ioctl() calls reach the pty rather than umockdev's ENOTTY.
TEST(StreamKnobs, DeviceFileIoctlsSeeThePendingBytes)
{
    for (const std::string &port : {kLp, kTty}) {
        const RunResult r =
            client({"--pending", "AA BB CC"}, port, {"sleep:100", "excl", "fionread", "r:3"});
        EXPECT_EQ(line(r, "excl"), "excl 0") << port;
        EXPECT_EQ(line(r, "fionread"), "fionread 0 3") << port;
        EXPECT_EQ(line(r, "r "), "r 3 AA BB CC") << port;
    }
}

TEST(StreamKnobs, BabbleNeverStops)
{
    const RunResult r =
        client({"--babble-ms", "10"}, kUsb, {"sleep:100", "in:64", "sleep:100", "in:64"});
    EXPECT_EQ(line(r, "in ", 0), "in 0 1 55");
    EXPECT_EQ(line(r, "in ", 1), "in 0 1 55");
    const RunResult lp = client({"--babble-ms", "10"}, kLp, {"sleep:100", "r:5:500"});
    EXPECT_EQ(line(lp, "r "), "r 5 55 55 55 55 55");
}

TEST(OutputKnobs, PaperOutTakesNothing)
{
    const RunResult r = client({"--paper-out"}, kUsb, {"w:1D6101:300"});
    EXPECT_EQ(line(r, "w "), "w -7 0");
    EXPECT_EQ(transcript_bytes(r.log, "usb", ">"), "");
}

TEST(OutputKnobs, PaperOutFillsTheDeviceFile)
{
    const RunResult stopped = client({"--paper-out"}, kLp, {"fill:1048576"});
    const std::string filled = line(stopped, "fill ");
    ASSERT_FALSE(filled.empty()) << stopped.out << stopped.err;
    EXPECT_LT(std::stol(filled.substr(5)), 1048576)
        << "a stopped printer takes only what the pty holds";
    EXPECT_EQ(transcript_bytes(stopped.log, "lp", ">"), "");
}

TEST(OutputKnobs, OutPartialTakesPartOfTheFirstTransfer)
{
    const RunResult r = client({"--out-partial", "2"}, kUsb, {"w:010203:300", "w:040506:300"});
    EXPECT_EQ(line(r, "w ", 0), "w -7 2");
    EXPECT_EQ(line(r, "w ", 1), "w 0 3");
    EXPECT_EQ(transcript_bytes(r.log, "usb", ">"), "01 02 04 05 06");
}

TEST(DeviceKnobs, UnplugEndsTransfersAndClosesTheFiles)
{
    // Without the unplug each run would last beyond the 6 s transfer.
    const RunResult r = client({"--unplug-after-ms", "300"}, kUsb, {"in:64:6000", "w:00"});
    EXPECT_EQ(line(r, "in "), "in -4 0 ");
    EXPECT_EQ(line(r, "w "), "w -4 0");
    EXPECT_LT(r.seconds, 5.0);
    const RunResult lp = client({"--unplug-after-ms", "300"}, kLp, {"r:1:6000"});
    EXPECT_EQ(line(lp, "r "), "r 0 ");
    EXPECT_LT(lp.seconds, 5.0);
}

TEST(DeviceKnobs, NoUsbLeavesTheDeviceFiles)
{
    const RunResult r = client({"--no-usb"}, kUsb, {}, false);
    EXPECT_EQ(line(r, "open"), "open failed");
    const RunResult lp = client({"--no-usb"}, kLp, {"w:1D6101", "r:18"});
    EXPECT_EQ(line(lp, "r "), std::string("r 18 ") + kStatusAnswer);
}

TEST(DeviceKnobs, IdentityAndEndpoints)
{
    struct Case {
        std::vector<std::string> options;
        std::string desc;
    };
    const Case cases[] = {
        {{}, "desc " + family_id() + " alts=1 eps=81/64,02/64"},
        {{"--vendor-id", "0x1234", "--product-id", "4"}, "desc 1234:0004 alts=1 eps=81/64,02/64"},
        {{"--endpoints", "1"}, "desc " + family_id() + " alts=1 eps=81/64"},
        {{"--alt-settings", "2"}, "desc " + family_id() + " alts=2 eps=81/64,02/64"},
        {{"--in-packet-size", "8"}, "desc " + family_id() + " alts=1 eps=81/8,02/64"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(line(client(c.options, kUsb, {"desc"}, false), "desc"), c.desc);
    }
}

TEST(DeviceKnobs, SmallInPacketsStillCarryTheAnswer)
{
    const RunResult r = client({"--in-packet-size", "8"}, kUsb, {"w:1D6101", "in:64", "r:10"});
    EXPECT_EQ(line(r, "in "), "in 0 18 1B FF 02 0E 01 00 00 80 00 F9 FF F1 00 01 00 00 00 00")
        << "full 8-byte packets go on within one transfer";
}

TEST(ClaimKnobs, KernelDriverAndBusyClaims)
{
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> steps;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{}, {"driver", "claim", "claim:1"}, {"driver 0", "claim 0", "claim -5"}},
        {{"--kernel-driver", "detachable"},
         {"driver", "claim", "detach", "driver", "claim"},
         {"driver 1", "claim -6", "detach 0", "driver 0", "claim 0"}},
        {{"--kernel-driver", "stuck"},
         {"driver", "detach", "claim"},
         {"driver 1", "detach -99", "claim -6"}},
        {{"--claim-busy", "2"}, {"claim", "claim", "claim"}, {"claim -6", "claim -6", "claim 0"}},
        {{"--claim-busy", "always"},
         {"claim", "claim", "claim"},
         {"claim -6", "claim -6", "claim -6"}},
    };
    for (const auto &c : cases) {
        const RunResult r = client(c.options, kUsb, c.steps, false);
        EXPECT_EQ(orvy::test::lines_of(r.out), c.lines) << r.err;
    }
    const RunResult detach =
        client({"--kernel-driver", "detachable"}, kUsb, {"detach", "claim", "release"}, false);
    EXPECT_TRUE(has_line(detach.log, "usb: detach kernel driver 0")) << detach.log;
    EXPECT_TRUE(has_line(detach.log, "usb: claim interface 0"));
    EXPECT_TRUE(has_line(detach.log, "usb: release interface 0"));
}

TEST(ClaimKnobs, SetConfigurationIsLoggedAndReadBack)
{
    const RunResult r = client({}, kUsb, {"config:0", "config:1"}, false);
    EXPECT_EQ(line(r, "config ", 0), "config 0 0");
    EXPECT_EQ(line(r, "config ", 1), "config 0 1");
    EXPECT_TRUE(has_line(r.log, "usb: set configuration 1")) << r.log;
}

TEST(ClaimKnobs, StallFailsInTransfersWithPipe)
{
    const RunResult r = client({"--stall"}, kUsb, {"w:1D6101", "in:64"});
    EXPECT_EQ(line(r, "w "), "w 0 3");
    EXPECT_EQ(line(r, "in "), "in -9 0 ");
}

// A client killed with a transfer in flight must not swallow the answer
// meant for the next one.
TEST(Robustness, ADeadClientsTransferTakesNoAnswer)
{
    const std::string script = "timeout -s KILL 0.5 " SIM_CLIENT_PATH " " + kUsb +
                               " claim in:64:5000; " SIM_CLIENT_PATH " " + kUsb +
                               " claim w:1D6101 r:18";
    const RunResult r = orvy::test::run_under_simulator({}, {"sh", "-c", script}, 30);
    EXPECT_EQ(line(r, "r "), std::string("r 18 ") + kStatusAnswer) << r.out << r.err;
}

}  // namespace
