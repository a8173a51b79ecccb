// The simulated printer prints: its buffer and print rate as a client feels
// them, the paper roll, the receipt file, one printer's own knobs and the
// control channel, driven through sim_client and a shell.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "sim_test_helpers.h"

namespace {

using orvy::test::run_under_simulator;
using orvy::test::RunResult;
using orvy::test::ScratchDir;
using orvy::test::transcript_bytes;
using namespace orvy::sim::test;

std::string hex_of(const std::string &text)
{
    std::string hex;
    char pair[3];
    for (const unsigned char c : text) {
        std::snprintf(pair, sizeof pair, "%02X", c);
        hex += pair;
    }
    return hex;
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t count_bytes(const std::string &transcript_hex)
{
    return transcript_hex.empty() ? 0 : (transcript_hex.size() + 1) / 3;
}

// A shell script run under the simulator; $C is sim_client.
RunResult shell(const std::vector<std::string> &options, const std::string &script)
{
    return run_under_simulator(options, {"sh", "-c", "C=" SIM_CLIENT_PATH "\n" + script}, 60);
}

TEST(BufferAndRate, AFullBufferEndsAUsbWriteAtItsTimeOutWithTheCountTaken)
{
    // 128 bytes fill the buffer, then 64-byte packets go in as 1000 bytes/s make room.
    const RunResult r = client({"--print-buffer", "128", "--print-rate", "1000"}, kUsb,
                               {"w:" + std::string(2000, '4') + ":300", "w:1D6101", "r:18"});
    const std::string write = line(r, "w ");
    ASSERT_EQ(write.rfind("w -7 ", 0), 0u) << r.out << r.err;
    const auto taken = std::stoul(write.substr(5));
    EXPECT_EQ(taken % 64, 0u);
    EXPECT_GE(taken, 128u + 64) << "the rate went on making room";
    EXPECT_LE(taken, 128u + 64 + static_cast<unsigned long>(1000 * r.seconds))
        << "a printer no faster than its rate";
    EXPECT_EQ(count_bytes(transcript_bytes(r.log, "usb", ">")), taken + 3);
    EXPECT_EQ(line(r, "r "), std::string("r 18 ") + kStatusAnswer)
        << "the inquiry got in once there was room";
}

TEST(BufferAndRate, InquiriesAreAnsweredAheadOfWaitingPrintData)
{
    // At 100 bytes/s the 1000 bytes take 10 s to print; the answer does not wait.
    for (const std::string &port : {kUsb, kLp}) {
        const RunResult r = client({"--print-rate", "100"}, port,
                                   {"w:" + std::string(2000, '4'), "w:1D6101", "r:18:300"});
        EXPECT_EQ(line(r, "w ", 1), "w 0 3") << port;
        EXPECT_EQ(line(r, "r "), std::string("r 18 ") + kStatusAnswer) << port;
        EXPECT_LT(r.seconds, 8.0) << port;
    }
}

TEST(BufferAndRate, TheDeviceFileStopsTakingWhenTheBufferIsFull)
{
    const RunResult r =
        client({"--print-buffer", "1000", "--print-rate", "1"}, kLp, {"fill:1048576", "sleep:200"});
    const std::string filled = line(r, "fill ");
    ASSERT_FALSE(filled.empty()) << r.out << r.err;
    EXPECT_LT(std::stoul(filled.substr(5)), 1048576u) << "the writer would block";
    EXPECT_LE(count_bytes(transcript_bytes(r.log, "lp", ">")), 1000u);
}

TEST(PaperRoll, TheRollEndsMidJobAndTheRecordsSayWhy)
{
    ScratchDir dir;
    // 10 mm: two lines of 3.75 mm and half of a third.
    const std::string job = hex_of("ONE\nTWO\nTHREE\nFOUR\n");
    const RunResult r =
        client({"--paper-mm", "10", "--near-end-mm", "8", "--paper", dir.path("receipt")}, kUsb,
               {"w:" + job, "sleep:100", "w:1D6101", "r:18", "w:1D6104", "r:39"});
    EXPECT_EQ(line(r, "r ", 0), "r 18 1B FF 02 0E 0C 00 00 80 00 F9 FF F1 00 02 01 00 00 00")
        << "paper out: status bits, state and error word";
    const std::string sensor = line(r, "r ", 1);
    ASSERT_EQ(sensor.size(), 5u + 39 * 3 - 1) << r.out;
    EXPECT_EQ(sensor.substr(5 + 27 * 3, 8), "01 00 00")
        << "pre-end set, entry sensors see no paper";
    EXPECT_EQ(read_file(dir.path("receipt")), "|ONE\n|TWO\n|THREE\n");
}

TEST(Receipt, EachPortPrintsTheSameReceipt)
{
    const std::string job =
        hex_of("Total: 12.50 [EUR]\r\n") + "0A" + "1BF101030A012D" + "0C" + "1BF0060102" + "0000";
    for (const std::string &port : {kUsb, kLp, kTty}) {
        ScratchDir dir;
        const RunResult r =
            client({"--paper", dir.path("r")}, port, {"w:" + job, "w:1D6101", "r:18"});
        EXPECT_EQ(read_file(dir.path("r")),
                  "|Total: 12.50 \\[EUR][0D]\n|\n[1B F1 01 03 0A 01 2D]\n<form feed>\n<cut>\n"
                  "[00 00]\n")
            << port << r.err;
    }
}

TEST(PrinterKnobs, ASilentPrinterAndOneWithoutPaperNextToAHealthyOne)
{
    const RunResult r =
        shell({"--printers", "3", "--printer", "2:silent", "--printer", "3:paper-mm=0"},
              "for p in 0 1 2; do $C /dev/usb/lp$p w:1D6101 r:18:300; done");
    EXPECT_EQ(line(r, "r ", 0), std::string("r 18 ") + kStatusAnswer) << r.out << r.err;
    EXPECT_EQ(line(r, "r ", 1), "r 0 ");
    EXPECT_EQ(line(r, "r ", 2), "r 18 1B FF 02 0E 0C 00 00 80 00 F9 FF F1 00 02 01 00 00 00");
}

TEST(ControlChannel, PaperOutTheJobWaitsALoadedRollCompletesItOnce)
{
    ScratchDir dir;
    const std::string receipt = dir.path("r");
    const RunResult r =
        shell({"--paper", receipt}, "echo 'paper-out 1' > \"$ORVY_SIM_CONTROL\"\n"
                                    "$C /dev/bus/usb/001/011 claim w:" +
                                        hex_of("A\nB\n") +
                                        " w:1D6104 r:39:300\n"
                                        "sleep 0.3; echo \"before: $(cat " +
                                        receipt +
                                        ")\"\n"
                                        "echo 'load 1 80000' > \"$ORVY_SIM_CONTROL\"\n"
                                        "$C /dev/usb/lp0 w:1D6104 r:39:300 w:" +
                                        hex_of("C\n") +
                                        "\n"
                                        "for i in 1 2 3 4 5 6 7 8 9 10; do grep -q C " +
                                        receipt + " && break; sleep 0.2; done\n");
    EXPECT_EQ(line(r, "r ", 0).substr(5 + 27 * 3, 8), "01 00 00") << r.out << r.err;
    EXPECT_EQ(line(r, "before:"), "before: ");
    EXPECT_EQ(line(r, "r ", 1).substr(5 + 27 * 3, 8), "00 01 01") << "a full roll";
    EXPECT_EQ(read_file(receipt), "|A\n|B\n|C\n");
    EXPECT_NE(r.log.find("control: load 1 80000"), std::string::npos);
}

TEST(ControlChannel, SilenceUnplugAndPlugOnePrinter)
{
    const RunResult r =
        shell({"--printers", "2"}, "echo 'silent 2' > \"$ORVY_SIM_CONTROL\"\n"
                                   "$C /dev/usb/lp1 w:1D6101 r:18:300\n"
                                   "echo 'answer 2' > \"$ORVY_SIM_CONTROL\"\n"
                                   "$C /dev/usb/lp1 w:1D6101 r:18:300\n"
                                   "echo 'unplug 1' > \"$ORVY_SIM_CONTROL\"; sleep 0.5\n"
                                   "ls /dev/bus/usb/001\n"
                                   "echo 'plug 1' > \"$ORVY_SIM_CONTROL\"; sleep 0.5\n"
                                   "$C /dev/bus/usb/001/013 claim w:1D6101 r:18\n"
                                   "echo 'jam 1' > \"$ORVY_SIM_CONTROL\"; sleep 0.2\n");
    EXPECT_EQ(line(r, "r ", 0), "r 0 ") << r.out << r.err;
    EXPECT_EQ(line(r, "r ", 1), std::string("r 18 ") + kStatusAnswer);
    EXPECT_TRUE(has_line(r.out, "012")) << "printer 2 stays while printer 1 is away";
    EXPECT_FALSE(has_line(r.out, "011"));
    EXPECT_EQ(line(r, "r ", 2), std::string("r 18 ") + kStatusAnswer) << "back at 001/013";
    EXPECT_NE(r.err.find("control: jam 1: unknown command"), std::string::npos);
}

}  // namespace
