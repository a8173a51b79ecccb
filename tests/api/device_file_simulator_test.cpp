// The device-file transport against the simulated printer: the real shared
// library, driven by orvy_api_probe on /dev/usb/lp0 and /dev/ttyS1.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "as_nobody.h"
#include "device_file_pty.h"
#include "sim_run.h"

namespace {

using orvy::test::kGenerousMarginMs;
using orvy::test::RunResult;

constexpr int kSimulatorFailure = 125;

// One result line of the probe: "<verb> = <value> [<hex>] (<ms> ms)".
struct Step {
    std::string verb;
    long value = 0;
    std::string hex;
    long ms = -1;
};

std::vector<Step> steps_of(const std::string &out)
{
    std::vector<Step> steps;
    for (const auto &line : orvy::test::lines_of(out)) {
        Step step;
        const auto blank = line.find(' ');
        step.verb = line.substr(0, blank);
        if (blank == std::string::npos) continue;
        std::sscanf(line.c_str() + blank, " = %ld", &step.value);
        const auto open = line.find('[');
        const auto close = line.find(']');
        if (open != std::string::npos && close != std::string::npos) {
            step.hex = line.substr(open + 1, close - open - 1);
        }
        const auto paren = line.rfind('(');
        if (paren != std::string::npos) std::sscanf(line.c_str() + paren, "(%ld ms)", &step.ms);
        steps.push_back(step);
    }
    return steps;
}

// A write step of `count` blank print bytes (one argument stays below the
// kernel's limit of 128 KiB per argument).
std::string write_blanks(std::size_t count, unsigned long timeout_ms)
{
    std::string step = "write:";
    for (std::size_t i = 0; i < count; ++i) step += "20";
    return step + ":" + std::to_string(timeout_ms);
}

class Simulated : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(orvy::test::simulator_path().c_str(), X_OK) != 0) {
            GTEST_SKIP() << "printer simulator not built";
        }
    }

    // Runs the probe under the simulator; skips when the simulator rejects an option.
    void run(const std::vector<std::string> &options, std::vector<std::string> steps)
    {
        steps.insert(steps.begin(), ORVY_API_PROBE_PATH);
        result_ = orvy::test::run_under_simulator(options, steps);
        if (result_.exit_status == kSimulatorFailure) {
            GTEST_SKIP() << "simulator refused " << testing::PrintToString(options) << ": "
                         << result_.err;
        }
        ASSERT_EQ(result_.exit_status, 0) << result_.out << result_.err;
        steps_ = steps_of(result_.out);
        ASSERT_EQ(steps_.size(), steps.size() - 1 - sleeps(steps)) << result_.out;
    }

    static std::size_t sleeps(const std::vector<std::string> &steps)
    {
        std::size_t count = 0;
        for (const auto &step : steps) count += step.rfind("sleep:", 0) == 0;
        return count;
    }

    static void expect_timed_out(const Step &step, double timeout_ms)
    {
        EXPECT_GE(static_cast<double>(step.ms), timeout_ms - 1) << step.verb;
        EXPECT_LT(static_cast<double>(step.ms), timeout_ms + kGenerousMarginMs) << step.verb;
    }

    RunResult result_;
    std::vector<Step> steps_;
};

struct Port {
    const char *name;
    const char *path;
    const char *log_name;
};
void PrintTo(const Port &port, std::ostream *out) { *out << port.name; }

const Port kPorts[] = {{"lp0", "/dev/usb/lp0", "lp"}, {"ttyS1", "/dev/ttyS1", "tty"}};

class SimulatedPort : public Simulated, public ::testing::WithParamInterface<Port> {
protected:
    std::string open_step() const { return std::string("open:") + GetParam().path; }
};

TEST_P(SimulatedPort, StatusInquiryAnswersWithHeaderAndFourteenBytes)
{
    ASSERT_NO_FATAL_FAILURE(
        run({}, {open_step(), "clear", "write:1D6101", "read:4", "read:14", "close"}));
    if (IsSkipped()) return;
    EXPECT_GE(steps_[0].value, 0);
    EXPECT_EQ(steps_[1].value, 1);
    EXPECT_EQ(steps_[2].value, 3);
    EXPECT_EQ(steps_[3].value, 4);
    EXPECT_EQ(steps_[3].hex, "1B FF 02 0E");
    EXPECT_EQ(steps_[4].value, 14);
    EXPECT_EQ(steps_[4].hex.size(), 14u * 3 - 1);
    EXPECT_EQ(orvy::test::transcript_bytes(result_.log, GetParam().log_name, ">"), "1D 61 01");
}

TEST_P(SimulatedPort, PrinterThatWentAwayEndsEveryOperationInTime)
{
    ASSERT_NO_FATAL_FAILURE(
        run({"--unplug-after-ms", "200"},
            {open_step(), "sleep:500", "write:1D6101:300", "read:4:300", "clear", "close"}));
    if (IsSkipped()) return;
    ASSERT_GE(steps_[0].value, 0);
    // Whatever the pty still takes after the unplug, nothing may hang: a
    // write that moves nothing ends with its time-out, and nothing answers.
    if (steps_[1].value == 0) expect_timed_out(steps_[1], 300);
    EXPECT_LT(steps_[1].ms, 300 + kGenerousMarginMs);
    EXPECT_EQ(steps_[2].value, 0);
    expect_timed_out(steps_[2], 300);
    EXPECT_EQ(steps_[3].value, 1);
    EXPECT_LT(steps_[3].ms, 1000 + kGenerousMarginMs);
    EXPECT_LT(steps_[4].ms, 1000 + kGenerousMarginMs);
}

TEST_P(SimulatedPort, ClearDiscardsWhatThePrinterHadReady)
{
    ASSERT_NO_FATAL_FAILURE(run({"--pending", "AA BB CC"},
                                {open_step(), "read:1:1000", "clear", "read:2:200", "close"}));
    if (IsSkipped()) return;
    // The serial port's open discards input that arrived before it.
    if (std::string(GetParam().name) == "lp0") {
        EXPECT_EQ(steps_[1].hex, "AA");
    }
    EXPECT_EQ(steps_[2].value, 1);
    EXPECT_EQ(steps_[3].value, 0);
}

TEST_P(SimulatedPort, OpeningAgainWithoutCloseAnswersThroughTheNewHandle)
{
    ASSERT_NO_FATAL_FAILURE(
        run({}, {open_step(), open_step(), "clear", "write:1D6101", "read:4", "read:14", "close"}));
    if (IsSkipped()) return;
    EXPECT_GE(steps_[1].value, 0);
    EXPECT_EQ(steps_[4].hex, "1B FF 02 0E");
    EXPECT_EQ(steps_[5].value, 14);
}

// Two programs on one port: the one that came second is refused at open and
// the first one's inquiry goes through untouched. Programs that do not take
// the lock (a plain open) are not refused: a terminal's exclusive mode, which
// would refuse them, outlives a crashed holder.
TEST_P(SimulatedPort, ASecondProcessIsRefusedWhileTheFirstHoldsThePort)
{
    const std::string port = GetParam().path;
    const std::string probe = ORVY_API_PROBE_PATH;
    // The second program starts once the first holds the port's lock, and
    // a loaded machine may take seconds to start either one.
    const std::string script =
        probe + " open:" + port + " sleep:2000 clear write:1D6101 read:4 close >first & " +
        "for i in $(seq 1000); do grep -q \"FLOCK .* $! \" /proc/locks && break; sleep 0.01; "
        "done; " +
        probe + " open:" + port + "; setpriv --bounding-set=-sys_admin --inh-caps=-sys_admin " +
        "sh -c ': <>" + port + "' 2>/dev/null || echo plain open refused; wait; cat first";
    const auto result = orvy::test::run_under_simulator({}, {"/bin/sh", "-c", script});
    if (result.exit_status == kSimulatorFailure) GTEST_SKIP() << result.err;
    const auto lines = orvy::test::lines_of(result.out);
    ASSERT_GE(lines.size(), 5u) << result.out << result.err;
    EXPECT_EQ(lines[0], "open = -1");
    EXPECT_NE(lines[1], "plain open refused") << result.out;
    const auto first = steps_of(result.out.substr(result.out.find("open = ", 1)));
    ASSERT_EQ(first.size(), 5u) << result.out;
    EXPECT_GE(first[0].value, 0);
    EXPECT_EQ(first[3].hex, "1B FF 02 0E") << result.out;
}

// A program killed while it holds the port leaves nothing locked: the next
// program opens at once, also without root (which would pass a terminal's
// exclusive mode). The simulator keeps the terminal open, as a getty would.
TEST_P(SimulatedPort, AKilledHolderLeavesThePortOpenForTheNext)
{
    const std::string port = GetParam().path;
    const orvy::test::AsNobody nobody({ORVY_API_PROBE_PATH});
    if (!nobody.unavailable().empty()) GTEST_SKIP() << nobody.unavailable();
    const std::string probe = nobody.program(ORVY_API_PROBE_PATH);
    const std::string script =
        probe + " open:" + port + " sleep:30000 >/dev/null & " +
        "for i in $(seq 200); do grep -q \"FLOCK .* $! \" /proc/locks && break; sleep 0.01; "
        "done; kill -9 $!; wait; " +
        probe + " open:" + port + " write:1D6101 read:4 close";
    const auto result =
        orvy::test::run_program(nobody.under_simulator({}, {"/bin/sh", "-c", script}), 60);
    if (result.exit_status == kSimulatorFailure) GTEST_SKIP() << result.err;
    const auto steps = steps_of(result.out);
    ASSERT_EQ(steps.size(), 4u) << result.out << result.err;
    EXPECT_GE(steps[0].value, 0) << "the port stayed locked: " << result.out;
    EXPECT_EQ(steps[2].hex, "1B FF 02 0E") << result.out;
}

INSTANTIATE_TEST_SUITE_P(Ports, SimulatedPort, ::testing::ValuesIn(kPorts),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Simulated, SerialPortGetsThePrinterLineSettings)
{
    // The simulator looks at the line settings every few milliseconds: stay a while.
    ASSERT_NO_FATAL_FAILURE(run({}, {"open:/dev/ttyS1", "sleep:200", "close"}));
    if (IsSkipped()) return;
    EXPECT_NE(result_.log.find(
                  "tty: speed=115200 data=8 parity=none stop=1 flow=rtscts vmin=0 vtime=1"),
              std::string::npos)
        << result_.log;
}

TEST_F(Simulated, IdleReadOnPrinterClassDeviceReturnsNothingInTime)
{
    ASSERT_NO_FATAL_FAILURE(run({}, {"open:/dev/usb/lp0", "read:4:1000", "close"}));
    if (IsSkipped()) return;
    EXPECT_EQ(steps_[1].value, 0);
    expect_timed_out(steps_[1], 1000);
}

TEST_F(Simulated, TricklingAnswerIsCollectedByteByByte)
{
    ASSERT_NO_FATAL_FAILURE(run({"--trickle-ms", "20"}, {"open:/dev/usb/lp0", "write:1D6101",
                                                         "read:4:2000", "read:14:2000", "close"}));
    if (IsSkipped()) return;
    EXPECT_EQ(steps_[2].value, 4);
    EXPECT_EQ(steps_[2].hex, "1B FF 02 0E");
    EXPECT_EQ(steps_[3].value, 14);
    EXPECT_LT(steps_[3].ms, 2000) << "must return once all 14 have arrived";
}

TEST_F(Simulated, SlowAnswerGivesThePartThatArrivedThenTheRest)
{
    // 60 ms a byte: a 300 ms read gets part of the record, the next one the rest.
    ASSERT_NO_FATAL_FAILURE(
        run({"--trickle-ms", "60"}, {"open:/dev/usb/lp0", "write:1D6101", "read:4:2000",
                                     "read:14:300", "read:14:1500", "close"}));
    if (IsSkipped()) return;
    EXPECT_EQ(steps_[2].value, 4);
    const long first = steps_[3].value;
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 14);
    expect_timed_out(steps_[3], 300);
    EXPECT_EQ(steps_[4].value, 14 - first);
    expect_timed_out(steps_[4], 1500);
}

TEST_F(Simulated, PaperOutWriteEndsInTimeAndCloseDoesNotHang)
{
    ASSERT_NO_FATAL_FAILURE(
        run({"--paper-out"}, {"open:/dev/usb/lp0", write_blanks(60000, 300),
                              write_blanks(60000, 300), write_blanks(60000, 300), "close"}));
    if (IsSkipped()) return;
    long taken = 0;
    for (int i = 1; i <= 3; ++i) taken += steps_[static_cast<std::size_t>(i)].value;
    EXPECT_LT(taken, 180000) << "a printer out of paper cannot take it all";
    EXPECT_LT(steps_[3].value, 60000);
    expect_timed_out(steps_[3], 300);
    EXPECT_LT(steps_[4].ms, 1000 + kGenerousMarginMs);
}

TEST_F(Simulated, ClearStopsOnAPrinterThatKeepsSending)
{
    ASSERT_NO_FATAL_FAILURE(run({"--babble-ms", "5"}, {"open:/dev/usb/lp0", "clear", "close"}));
    if (IsSkipped()) return;
    EXPECT_EQ(steps_[1].value, 1);
    // The simulator may stall for a quiet period on a loaded machine and end
    // the clear early; what must never happen is a clear that outlasts the limit.
    EXPECT_LT(steps_[1].ms, 1000 + kGenerousMarginMs);
}

}  // namespace
