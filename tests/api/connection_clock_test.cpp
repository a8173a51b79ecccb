// The clock of the library's waits, through its seam: every wait reads the
// monotonic clock, and only that clock decides when a wait ends, so setting
// the system time can neither cut a time-out short nor stretch it.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>

#include "Orvy_Api.h"
#include "clock_seams.h"
#include "device_file_pty.h"

namespace {

using orvy::api::clock_seams::read_clock;
using orvy::test::PortDir;
using orvy::test::PtyPair;
using orvy::test::Stopwatch;

std::atomic<int> readings{0};
std::atomic<int> other_clocks{0};
std::atomic<long> step_after_readings{-1};  // -1: never

// The real monotonic clock, one hour ahead from the chosen reading of a
// wait on (readings are counted from 0 again before each wait).
int counting_clock(clockid_t clock, struct timespec *now)
{
    if (clock != CLOCK_MONOTONIC) ++other_clocks;
    const int result = ::clock_gettime(clock, now);
    const long step = step_after_readings;
    if (++readings > step && step >= 0) now->tv_sec += 3600;
    return result;
}

class WaitClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        communication = 0;
        readings = 0;
        other_clocks = 0;
        step_after_readings = -1;
        pty_.make_slave_raw();
        port_ = ports_.link("dev/usb/lp0", pty_.slave_name());
        read_clock = counting_clock;
    }
    void TearDown() override { orvy::api::clock_seams::restore_all(); }

    // A read of 4 bytes that never come, through both interfaces; the
    // longer of the two in milliseconds.
    double silent_reads_ms(unsigned long timeout_ms)
    {
        unsigned char answer[4];
        double longest = 0;
        intptr_t printer = orvy_api_printer_open(port_.data());
        EXPECT_GE(printer, 0);
        readings = 0;
        Stopwatch watch;
        EXPECT_EQ(orvy_api_printer_read(printer, answer, 4, timeout_ms), 0);
        longest = watch.elapsed_ms();
        orvy_api_printer_close(printer);

        orvy_api_conn *conn = nullptr;
        EXPECT_EQ(orvy_api_conn_open(port_.c_str(), &conn), 0);
        readings = 0;
        Stopwatch conn_watch;
        EXPECT_EQ(orvy_api_conn_read(conn, answer, 4, timeout_ms), 0);
        longest = std::max(longest, conn_watch.elapsed_ms());
        orvy_api_conn_close(conn);
        return longest;
    }

    PtyPair pty_;
    PortDir ports_;
    std::string port_;
};

TEST_F(WaitClock, WaitsReadOnlyTheMonotonicClock)
{
    EXPECT_GE(silent_reads_ms(200), 200 - orvy::test::kEarlyToleranceMs);
    EXPECT_GT(readings, 1);
    EXPECT_EQ(other_clocks, 0);
}

TEST_F(WaitClock, AStepOfTheWaitsClockEndsThemWhateverTheSystemTime)
{
    // A step of the seam's clock right after the wait's start stands in for
    // what a system time step would do to a wait measured on the system
    // time: the 5 s read ends at once.
    step_after_readings = 1;
    EXPECT_LT(silent_reads_ms(5000), 2500);
}

}  // namespace
