// Write, read, clear and close on the USB bulk transport against the
// simulated printer, with the receive ring in between.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "hex_text.h"
#include "usb_scenario.h"

namespace orvy::api::test {
namespace {

const std::string kOpen = "open:" + kUsbPort;
const std::string kStatusInquiry = "write:1D6101";

// Answers come in whatever packets the printer chooses; the reads hand them
// out in the amounts asked for.
TEST(UsbRead, InquiryAnswerWhateverItsPackets)
{
    const std::vector<std::vector<std::string>> packetings = {
        {}, {"--split", "18"}, {"--split", "4,14"}, {"--split", "1"}, {"--split", "3,5,2"}};
    for (const auto &packets : packetings) {
        const auto s = run_usb_scenario(packets, {kOpen, "clear", kStatusInquiry, "read:4",
                                                  "read:14", "state", "close"});
        const std::string name = packets.empty() ? "default" : packets[1];
        ORVY_EXPECT_CLEAN_EXIT(s);
        EXPECT_EQ(s.step("write").result, 3) << name;
        EXPECT_EQ(s.sent(), "1D 61 01") << name;
        EXPECT_EQ(s.step("read", 0).result, 4) << name;
        EXPECT_EQ(s.step("read", 0).hex, "1B FF 02 0E") << name;
        EXPECT_EQ(s.step("read", 1).result, 14) << name;
        EXPECT_EQ(s.step("read", 1).hex, hex_bytes(s.answered(), 4, 14)) << name;
        ASSERT_EQ(s.states.size(), 1u);
        EXPECT_NE(s.states[0].find("top=18 bottom=18"), std::string::npos) << name << s.states[0];
    }
}

// Each read transfer asks for one packet of the IN endpoint's size.
TEST(UsbRead, TransfersFollowTheInPacketSize)
{
    const auto s = run_usb_scenario({"--in-packet-size", "8"},
                                    {kOpen, kStatusInquiry, "read:4", "read:14", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("read", 0).hex, "1B FF 02 0E");
    EXPECT_EQ(s.step("read", 1).hex, hex_bytes(s.answered(), 4, 14));
    std::size_t in_lines = 0;
    for (const auto &line : orvy::test::lines_of(s.run.log)) {
        if (line.rfind("usb < ", 0) != 0) continue;
        ++in_lines;
        EXPECT_LE(line.size(), std::string("usb < ").size() + 8 * 3 - 1) << line;
    }
    EXPECT_EQ(in_lines, 3u) << s.run.log;
}

TEST(UsbRead, SurplusOfOnePacketServesTheNextRead)
{
    const auto s = run_usb_scenario({"--split", "18"}, {kOpen, kStatusInquiry, "read:4", "state",
                                                        "read:14:0", "close"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("read", 0).hex, "1B FF 02 0E");
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("top=18 bottom=4"), std::string::npos) << s.states[0];
    // Nothing more is on its way: with a time-out of 0 only the ring can serve.
    EXPECT_EQ(s.step("read", 1).result, 14);
    EXPECT_EQ(s.step("read", 1).hex, hex_bytes(s.answered(), 4, 14));
}

TEST(UsbRead, BytesThatCameTooLateAreKeptForTheNextRead)
{
    // One byte every 40 ms: the header takes 160 ms, the record 560 ms more.
    const auto s =
        run_usb_scenario({"--trickle-ms", "40"}, {kOpen, kStatusInquiry, "read:4", "read:14:300",
                                                  "state", "read:14:2000", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("read", 0).hex, "1B FF 02 0E");
    const auto &late = s.step("read", 1);
    EXPECT_EQ(late.result, 0);
    EXPECT_GE(late.ms, 300);
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_EQ(s.states[0].find("top=4 bottom=4"), std::string::npos)
        << "what arrived in time stays in the ring: " << s.states[0];
    EXPECT_EQ(s.step("read", 2).result, 14);
    EXPECT_EQ(s.step("read", 2).hex, hex_bytes(s.answered(), 4, 14));
}

TEST(UsbRead, NoAnswerEndsAtTheTimeOut)
{
    const auto s = run_usb_scenario({"--silent"}, {"debug:1", kOpen, kStatusInquiry, "read:4:300",
                                                   "read:-5", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    const auto &read = s.step("read");
    EXPECT_EQ(read.result, 0);
    EXPECT_GE(read.ms, 300);
    EXPECT_LT(read.ms, 300 + 1000) << "one transfer and one pause past the time-out, plus slack";
    EXPECT_EQ(s.step("read", 1).result, 0) << "a negative size is no ring error";
    EXPECT_TRUE(s.out_has(" Start of reading = 4 "));
    EXPECT_TRUE(s.out_has(" Transfered = 0 "));
    EXPECT_TRUE(s.out_has("error = -7, count = 0"));
    EXPECT_TRUE(s.out_has("READ TIMEOUT -7"));
    EXPECT_TRUE(s.out_has("Read count bytes = 0, free buffer size = 1024, current buffer = 0 "));
}

// Each transfer waits no longer than the time left: a 35 ms read of an answer
// that never comes ends long before a single 100 ms transfer would. The
// fastest of three reads, so that a loaded machine does not decide.
TEST(UsbRead, AShortTimeOutIsNotStretchedToAWholeTransfer)
{
    const auto s =
        run_usb_scenario({"--silent"}, {kOpen, "read:4:35", "read:4:35", "read:4:35", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    long fastest = -1;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto &read = s.step("read", i);
        EXPECT_EQ(read.result, 0);
        EXPECT_GE(read.ms, 34) << "read " << i << " gave up before its time-out";
        if (fastest < 0 || read.ms < fastest) fastest = read.ms;
    }
    EXPECT_LT(fastest, 100) << "each transfer must be cut to the time left";
}

TEST(UsbRead, DiagnosticsShowEachPacket)
{
    const auto s = run_usb_scenario({"--split", "4,14"},
                                    {"debug:1", kOpen, kStatusInquiry, "read:4", "close"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_TRUE(s.out_has("Written = 3, size = 3"));
    EXPECT_TRUE(s.out_has(" Transfered = 4 "));
    EXPECT_TRUE(s.out_has("[1B] [FF] [02] [0E] "));
    EXPECT_TRUE(s.out_has("Read count bytes = 4, free buffer size = 1020, current buffer = 4 "));
}

TEST(UsbRead, AStalledEndpointEndsOnlyAtTheTimeOut)
{
    const auto s =
        run_usb_scenario({"--stall"}, {"debug:1", kOpen, "read:4:1000", "clear", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("read").result, 0);
    EXPECT_GE(s.step("read").ms, 1000);
    EXPECT_LT(s.step("read").ms, 3000);
    EXPECT_TRUE(s.out_has("READ PIPE -9")) << s.run.out;
    EXPECT_EQ(s.step("clear").result, 1);
}

TEST(UsbRead, UnplugDuringAReadEndsAtTheTimeOutAndCloseStillWorks)
{
    // Late enough that even a slow, sanitized open is done by then.
    const auto s = run_usb_scenario({"--silent", "--unplug-after-ms", "1500"},
                                    {"debug:1", kOpen, "read:4:3000", "clear", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    ASSERT_GT(s.step("open").result, 0) << "the open took longer than 1.5 s";
    EXPECT_EQ(s.step("read").result, 0);
    EXPECT_GE(s.step("read").ms, 3000);
    EXPECT_LT(s.step("read").ms, 6000);
    EXPECT_TRUE(s.out_has("READ NO DEVICE -4")) << s.run.out;
    EXPECT_EQ(s.step("clear").result, 1);
}

// 00 01 02 ... FF 00 01 ..., `count` bytes in hex.
std::string counting_hex(int count)
{
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
    }
    return orvy::test::hex_text(bytes);
}

// The ring holds 1023 bytes: 64-byte packets fill it to 960, and the next
// one fits the free space it reports (64) but not the ring.
TEST(UsbRead, APacketTheRingCannotTakeGivesMinus2)
{
    const auto s = run_usb_scenario({"--pending", counting_hex(1100)},
                                    {kOpen, "read:1024", "state", "read:100:0", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("read").result, -2);
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("top=960 bottom=0"), std::string::npos) << s.states[0];
    EXPECT_EQ(s.step("read", 1).hex, counting_hex(100)) << "what the ring held is still there";
}

TEST(UsbRead, APacketLargerThanTheFreeSpaceGivesMinus3)
{
    const auto s = run_usb_scenario({"--in-packet-size", "512", "--split", "100,512", "--pending",
                                     counting_hex(1124)},
                                    {kOpen, "read:1023", "state", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("read").result, -3);
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("top=612 bottom=0"), std::string::npos) << s.states[0];
}

TEST(UsbClear, DropsAReadyPacket)
{
    const std::vector<std::string> pending = {"--pending", "AA BB CC"};
    const auto without = run_usb_scenario(pending, {kOpen, kStatusInquiry, "read:4", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(without);
    ORVY_EXPECT_CLEAN_EXIT(without);
    EXPECT_EQ(without.step("read").hex, "AA BB CC 1B") << "the pending bytes come first";

    const auto s = run_usb_scenario(pending, {kOpen, "clear", kStatusInquiry, "read:4", "close"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("clear").result, 1);
    EXPECT_LT(s.step("clear").ms, 400);
    EXPECT_EQ(s.step("read").hex, "1B FF 02 0E");
}

TEST(UsbClear, EmptiesTheRingWithinItsLimit)
{
    const auto s = run_usb_scenario({"--split", "18"}, {"debug:1", kOpen, kStatusInquiry, "read:4",
                                                        "clear", "state", "read:14:300", "close"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("clear").result, 1);
    // 45 ms transfers and 10 ms pauses until 100 ms have passed.
    EXPECT_GE(s.step("clear").ms, 100);
    EXPECT_LT(s.step("clear").ms, 600);
    EXPECT_TRUE(s.out_has(" Clear read - ret = 0 / -7 "));
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("ring=set top=0 bottom=0"), std::string::npos) << s.states[0];
    EXPECT_EQ(s.step("read", 1).result, 0) << "the 14 bytes went with the ring";
}

TEST(UsbWrite, SendsEveryByteOnce)
{
    const auto s = run_usb_scenario({}, {kOpen, "write:0102030405060708090A0B0C", "close"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("write").result, 12);
    EXPECT_EQ(s.sent(), "01 02 03 04 05 06 07 08 09 0A 0B 0C");
}

// A transfer that times out part-way reports what it moved; the next one
// must go on from there, never from the first byte again.
TEST(UsbWrite, AfterAPartialTransferNoByteIsSentTwice)
{
    for (const char *taken : {"1", "4", "11"}) {
        const auto s = run_usb_scenario({"--out-partial", taken},
                                        {kOpen, "write:0102030405060708090A0B0C:2000", "close"});
        ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
        ORVY_EXPECT_CLEAN_EXIT(s);
        EXPECT_EQ(s.step("write").result, 12) << taken;
        EXPECT_EQ(s.sent(), "01 02 03 04 05 06 07 08 09 0A 0B 0C") << taken;
    }
}

TEST(UsbWrite, PaperOutSendsNothingAndEndsAtTheTimeOut)
{
    const auto s = run_usb_scenario({"--paper-out"}, {kOpen, "write:1D6101:300", "close"});
    ORVY_SKIP_IF_SIMULATOR_LACKS_OPTION(s);
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("write").result, 0);
    EXPECT_GE(s.step("write").ms, 300);
    EXPECT_LT(s.step("write").ms, 300 + 1000);
    EXPECT_EQ(s.sent(), "");
}

// A handle that close has ended, or one never handed out, reaches nothing.
TEST(UsbHandles, StaleAndUnknownHandlesAreIgnored)
{
    const auto s =
        run_usb_scenario({"--split", "18"}, {kOpen, kStatusInquiry, "read:4", "handle:12345",
                                             "clear", "write:1D6101", "read:4", "close", "state"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("clear").result, 0);
    EXPECT_EQ(s.step("write", 1).result, 0);
    EXPECT_EQ(s.step("read", 1).result, 0);
    EXPECT_EQ(s.sent(), "1D 61 01");
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("ring=set top=18 bottom=4"), std::string::npos)
        << "the real connection is untouched: " << s.states[0];
    EXPECT_FALSE(s.log_has("usb: release interface 0"));
}

TEST(UsbHandles, CloseThenClearTouchesNothing)
{
    const auto s = run_usb_scenario({}, {kOpen, "close", "clear", "write:1D6101", "read:4:100",
                                         "close", "state"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("clear").result, 0);
    EXPECT_EQ(s.step("write").result, 0);
    EXPECT_EQ(s.step("read").result, 0);
    EXPECT_EQ(s.log_count("usb: release interface 0"), 1u);
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("ring=none top=0 bottom=0"), std::string::npos) << s.states[0];
}

TEST(UsbHandles, AFailedOpenKeepsTheConnectionBefore)
{
    const auto s =
        run_usb_scenario({"--split", "18"}, {kOpen, "open:/dev/bus/usb/001/012", "handle:@1",
                                             kStatusInquiry, "read:4", "close", "state"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_EQ(s.step("open", 1).result, -2);
    EXPECT_EQ(s.step("read").hex, "1B FF 02 0E");
    EXPECT_TRUE(s.log_has("usb: release interface 0"));
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("ring=none"), std::string::npos) << s.states[0];
}

// The usual reconnect of a program that lost its handle: the earlier
// connection gives up the interface before the new one claims it.
TEST(UsbHandles, OpeningAgainReleasesTheEarlierConnectionFirst)
{
    const auto s = run_usb_scenario({"--split", "18"},
                                    {kOpen, kOpen, kStatusInquiry, "read:4", "close", "state"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    EXPECT_GE(s.step("open", 1).result, 0);
    EXPECT_EQ(s.step("read").hex, "1B FF 02 0E");
    EXPECT_EQ(s.log_count("usb: release interface 0"), 2u);
    ASSERT_EQ(s.states.size(), 1u);
    EXPECT_NE(s.states[0].find("ring=none"), std::string::npos) << s.states[0];
}

// Transfers cut short to the time left are cancelled often; no byte that the
// printer sent may be lost on the way, however the answer arrives.
TEST(UsbRead, ShortTimeOutsDropNoByte)
{
    const std::vector<std::vector<std::string>> knobs = {{"--trickle-ms", "15"},
                                                         {"--split", "1,2,3"},
                                                         {"--pending", "AA BB CC", "--split", "2"}};
    for (const auto &options : knobs) {
        std::vector<std::string> steps = {kOpen, kStatusInquiry};
        for (int i = 0; i < 120; ++i) steps.emplace_back("read:1:3");
        steps.emplace_back("close");
        const auto s = run_usb_scenario(options, steps);
        ORVY_EXPECT_CLEAN_EXIT(s);
        std::string collected;
        for (const auto &step : s.steps) {
            if (step.verb == "read" && step.result == 1) {
                collected += (collected.empty() ? "" : " ") + step.hex;
            }
        }
        EXPECT_EQ(collected, s.answered()) << options[0];
        EXPECT_EQ(collected.size(), (options[0] == "--pending" ? 21u : 18u) * 3 - 1) << options[0];
    }
}

// A handle of the other transport is no connection: nothing reaches either port.
TEST(UsbHandles, TheDeviceFileHandleBeforeIsNoConnectionAnyMore)
{
    const auto s = run_usb_scenario({}, {"open:/dev/usb/lp0", kOpen, "handle:@1", "debug:1",
                                         kStatusInquiry, "read:4:100", "clear", "debug:0",
                                         "handle:@2", kStatusInquiry, "read:4", "close"});
    ORVY_EXPECT_CLEAN_EXIT(s);
    ASSERT_GE(s.step("open").result, 0);
    EXPECT_EQ(s.step("write").result, 0);
    EXPECT_EQ(s.step("read").result, 0);
    EXPECT_LT(s.step("read").ms, 50);
    EXPECT_EQ(s.step("clear").result, 0);
    EXPECT_FALSE(s.out_has(" Start of reading = 4 ")) << s.run.out;
    EXPECT_EQ(s.step("read", 1).hex, "1B FF 02 0E");
    EXPECT_EQ(s.sent(), "1D 61 01");
    EXPECT_EQ(orvy::test::transcript_bytes(s.run.log, "lp", ">"), "");
}

}  // namespace
}  // namespace orvy::api::test
