// The simulator as programs meet it: real libusb and termios clients (the
// tiny sim_client, lsusb, stty) at the three port paths, the transcript,
// the exit status, clean-up, and every fault knob.
#include <gtest/gtest.h>
#include <unistd.h>

#include <dirent.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hex_text.h"
#include "scratch_dir.h"
#include "sim_test_helpers.h"

namespace {

using orvy::test::lines_of;
using orvy::test::run_program;
using orvy::test::run_under_simulator;
using orvy::test::RunResult;
using orvy::test::ScratchDir;
using orvy::test::simulator_path;
using orvy::test::transcript_bytes;
using namespace orvy::sim::test;

const char *kLifeAnswer = "1B FF 07 27 01 14 6A 0A CE 4E 89 27 EF 89 F3 29 00 B0 5E 2F 00 9C 01 00 "
                          "00 11 00 00 00 EF 05 00 00 "
                          "58 00 00 00 00 00 00 00 00 00";

class EachPort : public testing::TestWithParam<std::string> {};

TEST_P(EachPort, AnswersTheLifeInquiryWithTheSameBytesEveryRun)
{
    const std::string port = GetParam();
    const std::string name = port == kUsb ? "usb" : port == kLp ? "lp" : "tty";
    std::vector<std::string> steps{"w:1D6120", "r:43"};
    if (port == kTty) steps.insert(steps.begin(), "stty");
    std::string first;
    for (int run = 0; run < 2; ++run) {
        const RunResult r = client({}, port, steps);
        ASSERT_EQ(r.exit_status, 0) << r.err << r.out;
        EXPECT_EQ(line(r, "r "), std::string("r 43 ") + kLifeAnswer);
        EXPECT_EQ(transcript_bytes(r.log, name, ">"), "1D 61 20") << r.log;
        EXPECT_EQ(transcript_bytes(r.log, name, "<"), kLifeAnswer) << r.log;
        if (run == 0) {
            first = r.out;
        } else {
            EXPECT_EQ(r.out, first);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Simulator, EachPort, testing::Values(kUsb, kLp, kTty));

TEST(Simulator, ReportsTheSerialSettingsTheClientSet)
{
    const RunResult r = client({}, kTty, {"stty", "w:1D6101", "r:18"});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_TRUE(
        has_line(r.log, "tty: speed=115200 data=8 parity=none stop=1 flow=rtscts vmin=0 vtime=1"))
        << r.log;
    EXPECT_EQ(line(r, "r "), std::string("r 18 ") + kStatusAnswer);
}

// A program killed while it works the USB port gives its claim back, as the
// kernel does when the usbfs file is closed: the next program claims at once.
// Killed at a few moments of a stream of transfers, so that some land while
// the simulator is answering one.
TEST(Simulator, AKilledProgramsClaimGoesWithIt)
{
    std::string transfers;
    for (int i = 0; i < 300; ++i) transfers += " in:64:1";
    const std::string client = SIM_CLIENT_PATH " " + kUsb + " claim";
    const std::string script = "for pause in 0.2 0.3 0.25 0.35 0.4 0.45; do " + client + transfers +
                               " >/dev/null & sleep $pause; kill -9 $!; wait $!; " + client +
                               "; done";
    const RunResult r = run_under_simulator({}, {"sh", "-c", script}, 60);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    int claims = 0;
    for (const auto &l : lines_of(r.out)) {
        EXPECT_EQ(l, "claim 0") << r.out;
        ++claims;
    }
    EXPECT_EQ(claims, 6);
    EXPECT_EQ(r.err.find("CRITICAL"), std::string::npos) << r.err;
}

TEST(Simulator, SttyReadsTheSerialPort)
{
    const RunResult r = run_under_simulator({}, {"stty", "-F", kTty, "-a"}, 30);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_NE(r.out.find("speed 9600 baud"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-echo "), std::string::npos) << "no echo: " << r.out;
}

TEST(Simulator, LsusbShowsThePrinterDescriptors)
{
    if (access("/usr/bin/lsusb", X_OK) != 0) GTEST_SKIP() << "lsusb is not installed";
    const RunResult r = run_under_simulator({}, {"lsusb", "-v", "-d", family_id()}, 30);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    const std::vector<std::string> expected{"Bus 001 Device 011: ID " + family_id(),
                                            "bConfigurationValue     1",
                                            "bEndpointAddress     0x81  EP 1 IN",
                                            "bEndpointAddress     0x02  EP 2 OUT",
                                            "wMaxPacketSize     0x0040  1x 64 bytes",
                                            "bInterfaceClass         7"};
    for (const auto &wanted : expected) {
        EXPECT_NE(r.out.find(wanted), std::string::npos) << wanted << "\n" << r.out;
    }
}

// lp0 is raw: no echo of the host's bytes, no line editing of the answer.
TEST(Simulator, PrinterClassFileIsRaw)
{
    const RunResult r = client({}, kLp, {"w:0A7F031D6101", "r:40:400"});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(line(r, "r "), std::string("r 18 ") + kStatusAnswer);
}

// The printer class's requests, as usblp and print spoolers make them: the
// device ID behind its big-endian length (interface 0 only), the port status
// byte (paper empty, selected, no error) and the soft reset.
TEST(Simulator, AnswersThePrinterClassRequests)
{
    const std::string id =
        "MFG:Velmora;MDL:Orvy K80 Kiosk Printer;CMD:ORVY;CLS:PRINTER;SN:K80P1-26-004711;";
    std::vector<unsigned char> with_length{0, static_cast<unsigned char>(id.size() + 2)};
    with_length.insert(with_length.end(), id.begin(), id.end());
    const RunResult r = client({}, kUsb,
                               {"ctl:A1:0:0:0:400", "ctl:A1:0:0:100:400", "ctl:A1:0:0:0:8",
                                "ctl:A1:1:0:0:1", "w:1D6101", "ctl:23:2:0:0:0", "in:64:200"});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(line(r, "ctl ", 0), "ctl " + std::to_string(with_length.size()) + " " +
                                      orvy::test::hex_text(with_length));
    EXPECT_EQ(line(r, "ctl ", 1), "ctl -9 ") << "interface 1: stall";
    EXPECT_EQ(line(r, "ctl ", 2), "ctl 8 " + orvy::test::hex_text(with_length.data(), 8))
        << "cut to wLength";
    EXPECT_EQ(line(r, "ctl ", 3), "ctl 1 18");
    EXPECT_EQ(line(r, "ctl ", 4), "ctl 0 ");
    EXPECT_EQ(line(r, "in "), "in -7 0 ") << "the reset dropped the unread answer";
    EXPECT_TRUE(has_line(r.log, "usb: soft reset")) << r.log;

    EXPECT_EQ(line(client({"--paper-out"}, kUsb, {"ctl:A1:1:0:0:1"}), "ctl "), "ctl 1 38");
    EXPECT_EQ(line(client({"--paper-mm", "0"}, kUsb, {"ctl:A1:1:0:0:1"}), "ctl "), "ctl 1 38")
        << "an empty roll";

    const RunResult sysfs =
        run_under_simulator({}, {"cat", "/sys/bus/usb/devices/1-1:1.0/ieee1284_id"}, 30);
    EXPECT_EQ(sysfs.out, id) << sysfs.err;
}

// A build tree deep in the file system puts $TMPDIR past the length of a
// unix socket path; the emulated devices must work all the same.
TEST(Simulator, WorksBelowADeepTemporaryDirectory)
{
    const ScratchDir scratch("orvy-deep");
    std::string deep = scratch.path();
    while (deep.size() < 120) deep += "/level";
    std::filesystem::create_directories(deep);
    const char *tmp = std::getenv("TMPDIR");
    const std::string caller_tmp = tmp ? tmp : "";
    ::setenv("TMPDIR", deep.c_str(), 1);
    const RunResult r = client({}, kUsb, {"w:1D6101", "r:18"});
    if (tmp) {
        ::setenv("TMPDIR", caller_tmp.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(line(r, "r "), std::string("r 18 ") + kStatusAnswer);
}

TEST(Simulator, ExitStatusIsTheCommands)
{
    EXPECT_EQ(run_under_simulator({}, {"sh", "-c", "exit 3"}, 30).exit_status, 3);
    EXPECT_EQ(run_under_simulator({}, {"sh", "-c", "kill -9 $$"}, 30).exit_status, 137);
    const RunResult missing = run_under_simulator({}, {"/nonexistent/program"}, 30);
    EXPECT_EQ(missing.exit_status, 127);
    EXPECT_NE(missing.err.find("Orvy_Simulator: cannot run /nonexistent/program"),
              std::string::npos);
}

TEST(Simulator, OwnFailuresExitWith125)
{
    const RunResult bad = run_program({simulator_path(), "--no-such-option", "--", "true"}, 30);
    EXPECT_EQ(bad.exit_status, 125);
    EXPECT_EQ(bad.err.rfind("Orvy_Simulator: ", 0), 0u) << bad.err;
    const RunResult missing =
        run_program({"env", "ORVY_SIMULATOR_PRELOAD=/nonexistent/libumockdev-preload.so.0",
                     simulator_path(), "--", "true"},
                    30);
    EXPECT_EQ(missing.exit_status, 125);
    EXPECT_NE(missing.err.find("Orvy_Simulator: umockdev's preload library"), std::string::npos)
        << missing.err;
}

// A receipt or transcript that loses lines is said at once and fails the run;
// a megabyte of junk on the control channel makes one short complaint.
TEST(Simulator, SaysWhenItCannotRecord)
{
    const RunResult paper = run_program(
        {simulator_path(), "--paper", "/dev/full", "--", SIM_CLIENT_PATH, kLp, "w:410A"});
    EXPECT_EQ(paper.exit_status, 125);
    EXPECT_NE(paper.err.find("Orvy_Simulator: cannot write the receipt /dev/full: "),
              std::string::npos)
        << paper.err;
    const RunResult log = run_program(
        {simulator_path(), "--log", "/dev/full", "--", SIM_CLIENT_PATH, kLp, "w:1D6101", "r:18"});
    EXPECT_EQ(log.exit_status, 125);
    EXPECT_NE(log.err.find("Orvy_Simulator: cannot write the transcript /dev/full: "),
              std::string::npos)
        << log.err;

    // The client's write makes the simulator read the channel first.
    const RunResult junk =
        run_under_simulator({}, {"sh", "-c",
                                 "head -c 1000000 /dev/zero | tr '\\0' x >\"$ORVY_SIM_CONTROL\"\n"
                                 "echo >\"$ORVY_SIM_CONTROL\"\n" SIM_CLIENT_PATH
                                 " /dev/usb/lp0 w:1D6101 r:18"});
    EXPECT_EQ(junk.exit_status, 0) << junk.err;
    EXPECT_NE(junk.err.find("Orvy_Simulator: control: " + std::string(80, 'x') + "...: "),
              std::string::npos)
        << junk.err.substr(0, 200);
    EXPECT_LT(junk.err.size(), 200u);
    EXPECT_LT(junk.log.size(), 1000u);
}

// Nothing of the simulator's (pty masters, sockets, FIFO, transcript) leaks
// into COMMAND: a hang-up on unplug depends on it.
TEST(Simulator, CommandInheritsOnlyWhatTheSimulatorWasGiven)
{
    const std::vector<std::string> list{"sh", "-c", "ls /proc/$$/fd"};
    const RunResult alone = run_program(list, 30);
    const RunResult under = run_under_simulator({}, list, 30);
    ASSERT_EQ(under.exit_status, 0) << under.err;
    EXPECT_EQ(under.out, alone.out);
    // The simulator keeps its scratch files below $TMPDIR; the command gets
    // the caller's value.
    const char *tmp = getenv("TMPDIR");
    const RunResult env = run_under_simulator({}, {"sh", "-c", "echo \"[${TMPDIR-unset}]\""}, 30);
    EXPECT_EQ(env.out, std::string("[") + (tmp ? tmp : "unset") + "]\n");
}

// CPU seconds that the children of `sh` used, from the shell's `times`.
double children_cpu_seconds(const std::string &times_output)
{
    const auto lines = lines_of(times_output);
    if (lines.size() < 2) return -1;
    double user_min = 0, user_s = 0, sys_min = 0, sys_s = 0;
    if (sscanf(lines.back().c_str(), "%lfm%lfs %lfm%lfs", &user_min, &user_s, &sys_min, &sys_s) !=
        4) {
        return -1;
    }
    return user_min * 60 + user_s + sys_min * 60 + sys_s;
}

// A client waiting 3 s for an answer that never comes costs next to no CPU:
// neither libusb nor the simulator may spin.
TEST(Simulator, WaitingClientsDoNotSpin)
{
    for (const std::string &steps : {kUsb + " claim in:64:3000", kTty + " stty r:1:3000"}) {
        const std::string script = "'" + simulator_path() + "' --silent -- " SIM_CLIENT_PATH " " +
                                   steps + " >/dev/null; times";
        const RunResult r = run_program({"sh", "-c", script}, 30);
        const double cpu = children_cpu_seconds(r.out);
        EXPECT_GE(cpu, 0) << r.out;
        EXPECT_LT(cpu, 1.0) << steps << ": " << r.out;
        EXPECT_GE(r.seconds, 3.0);
    }
}

std::vector<std::string> entries_of(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") {
                names.push_back(e->d_name);
            }
        }
        closedir(d);
    }
    return names;
}

// The first line of a file, "" without one.
std::string first_line_of(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// A command for the simulator that notes where the simulator works (umockdev's
// root lies inside its directory) and its own pid in `notes`, then runs `then`.
std::string noting(const std::string &notes, const std::string &name, const std::string &then)
{
    const std::string at = notes + "/" + name;
    return "sh -c 'dirname \"$UMOCKDEV_DIR\" > " + at + ".dir; echo $$ > " + at + ".pid; " + then +
           "'";
}

// A private $TMPDIR shows what a run leaves behind: nothing, also when the
// simulator is stopped by a signal, and then the child goes with it. Below a
// deep $TMPDIR the simulator works in /tmp instead, so each run's own
// directory is checked, wherever it was.
TEST(Simulator, RemovesItsFilesAndTakesTheChildAlongOnASignal)
{
    const ScratchDir scratch("sim-clean");
    const std::string &notes = scratch.path();
    const std::string dir = scratch.path("tmp");
    std::filesystem::create_directory(dir);
    const std::string sim = "'" + simulator_path() + "' -- ";
    const std::string then_stop = " & sim=$!; sleep 1; kill -";
    const std::string script =
        "export TMPDIR=" + dir + "; " + sim + noting(notes, "plain", "true") + "; echo plain=$?; " +
        sim + noting(notes, "term", "exec sleep 30") + then_stop +
        "TERM $sim; wait $sim; echo term=$?; " + sim + noting(notes, "int", "exec sleep 30") +
        then_stop + "INT $sim; wait $sim; echo int=$?; " + sim +
        noting(notes, "kill", "exec sleep 30") + then_stop +
        "KILL $sim; wait $sim; sleep 0.3; state=$(cut -d' ' -f3 /proc/$(cat " + notes +
        "/kill.pid)/stat 2>/dev/null); "
        "[ -z \"$state\" ] || [ \"$state\" = Z ] && echo gone || echo orphan";
    const RunResult r = run_program({"sh", "-c", script}, 30);

    // SIGKILL cannot be caught: that run's directory stays, and is ours to remove.
    const std::string killed = first_line_of(notes + "/kill.dir");
    EXPECT_EQ(std::filesystem::path(killed).filename().string().rfind("orvy-sim.", 0), 0u)
        << killed;
    if (std::filesystem::path(killed).filename().string().rfind("orvy-sim.", 0) == 0) {
        std::filesystem::remove_all(killed);
    }

    EXPECT_TRUE(has_line(r.out, "plain=0")) << r.out << r.err;
    EXPECT_TRUE(has_line(r.out, "term=143")) << r.out << r.err;
    EXPECT_TRUE(has_line(r.out, "int=130")) << "a SIGINT sent to the simulator reaches the child";
    // A dead orphan may stay a zombie: init need not reap it at once.
    EXPECT_TRUE(has_line(r.out, "gone")) << "the child outlived a killed simulator";
    for (const char *run : {"plain", "term", "int"}) {
        const std::string used = first_line_of(notes + "/" + run + ".dir");
        EXPECT_FALSE(used.empty()) << run << " run: " << r.out << r.err;
        EXPECT_FALSE(std::filesystem::exists(used)) << "the " << run << " run left " << used;
    }
    EXPECT_TRUE(entries_of(dir).empty());
}

}  // namespace
