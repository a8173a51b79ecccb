// Write, read, clear and close on the device-file transport, against a pty
// that plays a printer-class device.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <functional>
#include <ostream>

#include "Orvy_Api.h"
#include "device_file_pty.h"

namespace {

using namespace std::chrono_literals;
using orvy::test::Babbler;
using orvy::test::Bytes;
using orvy::test::DelayedSender;
using orvy::test::kEarlyToleranceMs;
using orvy::test::kGenerousMarginMs;
using orvy::test::PortDir;
using orvy::test::PtyPair;
using orvy::test::Stopwatch;

// A loop that spins burns about as much CPU as wall time; one that waits
// burns next to none.
constexpr double kMaxCpuShare = 0.3;

class DeviceFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        communication = 0;
        pty_.make_slave_raw();
        std::string name = ports_.link("dev/usb/lp0", pty_.slave_name());
        handle_ = orvy_api_printer_open(name.data());
        ASSERT_GE(handle_, 0);
    }
    void TearDown() override
    {
        if (handle_ >= 0) orvy_api_printer_close(handle_);
        communication = 0;
    }

    int read(Bytes &into, int size, unsigned long timeout_ms)
    {
        into.assign(static_cast<std::size_t>(size), 0);
        const int got = orvy_api_printer_read(handle_, into.data(), size, timeout_ms);
        into.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return got;
    }

    int write(Bytes bytes, unsigned long timeout_ms)
    {
        return orvy_api_printer_write(handle_, bytes.data(), static_cast<int>(bytes.size()),
                                      timeout_ms);
    }

    // Fills the pty until it takes nothing more, as a printer that stopped reading.
    void fill_output()
    {
        const Bytes block(4096, 0x20);
        while (::write(static_cast<int>(handle_), block.data(), block.size()) > 0) {
        }
        ASSERT_EQ(errno, EAGAIN);
    }

    PtyPair pty_;
    PortDir ports_;
    intptr_t handle_ = -1;
};

TEST_F(DeviceFile, ReadReturnsThePartThatArrivedOnceTheTimeOutEnds)
{
    const Bytes ten{0x1B, 0xFF, 0x02, 0x0E, 1, 2, 3, 4, 5, 6};
    pty_.send(ten);
    Bytes got;
    Stopwatch watch;
    EXPECT_EQ(read(got, 14, 300), 10);
    EXPECT_GE(watch.elapsed_ms(), 300 - kEarlyToleranceMs);
    EXPECT_LT(watch.elapsed_ms(), 300 + kGenerousMarginMs);
    EXPECT_EQ(got, ten);
}

TEST_F(DeviceFile, ReadCollectsPiecesAndReturnsWhenAllHaveArrived)
{
    DelayedSender sender(pty_.master(), {{50ms, {0x1B, 0xFF}}, {30ms, {0x02}}, {30ms, {0x0E, 9}}});
    Bytes got;
    Stopwatch watch;
    EXPECT_EQ(read(got, 4, 5000), 4);
    EXPECT_LT(watch.elapsed_ms(), 2500) << "must not wait for the time-out";
    EXPECT_EQ(got, (Bytes{0x1B, 0xFF, 0x02, 0x0E}));
    EXPECT_EQ(read(got, 1, 1000), 1) << "the surplus stays for the next read";
    EXPECT_EQ(got, Bytes{9});
}

class IdleRead : public DeviceFile, public ::testing::WithParamInterface<unsigned long> {};

TEST_P(IdleRead, ReturnsNothingAfterTheTimeOutWithoutSpinning)
{
    const unsigned long timeout_ms = GetParam();
    Bytes got;
    Stopwatch watch;
    EXPECT_EQ(read(got, 4, timeout_ms), 0);
    const double elapsed = watch.elapsed_ms();
    EXPECT_GE(elapsed, static_cast<double>(timeout_ms) - kEarlyToleranceMs);
    EXPECT_LT(elapsed, static_cast<double>(timeout_ms) + kGenerousMarginMs);
    if (timeout_ms >= 200) {
        EXPECT_LT(watch.cpu_ms(), kMaxCpuShare * elapsed);
    }
}

INSTANTIATE_TEST_SUITE_P(TimeOuts, IdleRead, ::testing::Values(0UL, 5UL, 250UL, 1000UL));

// Each operation on a printer that has gone away (the peer closed).
struct HungUpCase {
    const char *name;
    std::function<int(intptr_t)> operation;
    int result;
    double timeout_ms;
};
void PrintTo(const HungUpCase &c, std::ostream *out) { *out << c.name; }

const HungUpCase kHungUpCases[] = {
    {"Read",
     [](intptr_t handle) {
         unsigned char data[4];
         return orvy_api_printer_read(handle, data, 4, 500);
     },
     0, 500},
    {"Write",
     [](intptr_t handle) {
         unsigned char data[3] = {0x1D, 0x61, 0x01};
         return orvy_api_printer_write(handle, data, 3, 500);
     },
     0, 500},
    {"Clear", [](intptr_t handle) { return orvy_api_printer_clear(handle); }, 1, 100},
};

class HungUp : public DeviceFile, public ::testing::WithParamInterface<HungUpCase> {};

TEST_P(HungUp, EndsInTimeWithoutSpinning)
{
    const auto &c = GetParam();
    pty_.close_master();
    Stopwatch watch;
    EXPECT_EQ(c.operation(handle_), c.result);
    const double elapsed = watch.elapsed_ms();
    EXPECT_GE(elapsed, c.timeout_ms - kEarlyToleranceMs);
    EXPECT_LT(elapsed, c.timeout_ms + kGenerousMarginMs);
    EXPECT_LT(watch.cpu_ms(), kMaxCpuShare * elapsed);
}

INSTANTIATE_TEST_SUITE_P(Table, HungUp, ::testing::ValuesIn(kHungUpCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DeviceFile, WriteSendsEveryByteInOrder)
{
    EXPECT_EQ(write({0x1D, 0x61, 0x01}, 1000), 3);
    EXPECT_EQ(pty_.received(), (Bytes{0x1D, 0x61, 0x01}));
}

TEST_F(DeviceFile, WriteLargerThanThePtyTakesAtOnceArrivesWhole)
{
    Bytes big(256 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 7);
    Bytes arrived;
    std::thread printer([&] { arrived = pty_.received(500); });
    EXPECT_EQ(write(big, 10000), static_cast<int>(big.size()));
    printer.join();
    EXPECT_EQ(arrived, big);
}

// A printer that takes nothing more: the peer stopped reading, or output is
// stopped by flow control.
struct StoppedCase {
    const char *name;
    bool flow_stopped;
};
void PrintTo(const StoppedCase &c, std::ostream *out) { *out << c.name; }

class StoppedOutput : public DeviceFile, public ::testing::WithParamInterface<StoppedCase> {
protected:
    void stop_output()
    {
        if (GetParam().flow_stopped) {
            ASSERT_EQ(::tcflow(pty_.slave(), TCOOFF), 0);
        } else {
            ASSERT_NO_FATAL_FAILURE(fill_output());
        }
    }
};

TEST_P(StoppedOutput, WriteReturnsWhatWasTakenOnceTheTimeOutEnds)
{
    ASSERT_NO_FATAL_FAILURE(stop_output());
    Stopwatch watch;
    // A pty frees a little room behind the scenes; most of the block must stay.
    const Bytes block(64 * 1024, 0x20);
    EXPECT_LT(write(block, 300), static_cast<int>(block.size()) / 2);
    EXPECT_GE(watch.elapsed_ms(), 300 - kEarlyToleranceMs);
    EXPECT_LT(watch.elapsed_ms(), 300 + kGenerousMarginMs);
    EXPECT_LT(watch.cpu_ms(), kMaxCpuShare * watch.elapsed_ms());
}

TEST_P(StoppedOutput, CloseDoesNotHang)
{
    ASSERT_NO_FATAL_FAILURE(stop_output());
    Stopwatch watch;
    orvy_api_printer_close(handle_);
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    EXPECT_LT(watch.elapsed_ms(), 1000 + kGenerousMarginMs);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "close must close the descriptor";
}

INSTANTIATE_TEST_SUITE_P(Table, StoppedOutput,
                         ::testing::Values(StoppedCase{"PeerNotReading", false},
                                           StoppedCase{"FlowStopped", true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DeviceFile, WriteCountIsWhatThePrinterReceives)
{
    // The pty takes part of a large block, then nothing: the count must be
    // exactly what reaches the far side.
    const Bytes big(1024 * 1024, 0x41);
    const int sent = write(big, 300);
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, static_cast<int>(big.size()));
    EXPECT_EQ(pty_.received().size(), static_cast<std::size_t>(sent));
}

TEST_F(DeviceFile, ClearDiscardsPendingInputAndWaitsForQuiet)
{
    pty_.send(Bytes(600, 0xAA));
    ASSERT_TRUE(pty_.slave_has_input());
    Stopwatch watch;
    EXPECT_EQ(orvy_api_printer_clear(handle_), 1);
    EXPECT_GE(watch.elapsed_ms(), 100 - kEarlyToleranceMs) << "100 ms of quiet end a clear";
    EXPECT_LT(watch.elapsed_ms(), 100 + kGenerousMarginMs);
    Bytes got;
    EXPECT_EQ(read(got, 1, 50), 0);
}

TEST_F(DeviceFile, ClearRestartsTheQuietPeriodWhenAByteArrives)
{
    // A byte sent 30 ms into the clear. Scheduling may delay the sender, so
    // the checks go by when it was really sent, not by when it was meant to be.
    using Clock = std::chrono::steady_clock;
    std::atomic<Clock::rep> sent_at{0};
    std::thread printer([&] {
        std::this_thread::sleep_for(30ms);
        sent_at = Clock::now().time_since_epoch().count();
        pty_.send({0x01});
    });
    EXPECT_EQ(orvy_api_printer_clear(handle_), 1);
    const auto returned = Clock::now();
    printer.join();
    const Clock::time_point sent{Clock::duration{sent_at.load()}};
    const double quiet_after_send_ms =
        std::chrono::duration<double, std::milli>(returned - sent).count();

    Bytes got;
    if (read(got, 1, 100) == 0) {
        EXPECT_GE(quiet_after_send_ms, 100 - kEarlyToleranceMs)
            << "a byte read by clear must be followed by 100 ms of quiet";
    } else {
        EXPECT_LT(quiet_after_send_ms, 20) << "clear left a byte that had long arrived";
    }
}

TEST_F(DeviceFile, ClearOfAnIdleDeviceEndsAfterTheQuietPeriod)
{
    Stopwatch watch;
    EXPECT_EQ(orvy_api_printer_clear(handle_), 1);
    EXPECT_GE(watch.elapsed_ms(), 100 - kEarlyToleranceMs);
    EXPECT_LT(watch.elapsed_ms(), 100 + kGenerousMarginMs);
    EXPECT_LT(watch.cpu_ms(), kMaxCpuShare * watch.elapsed_ms() + 5);
}

TEST_F(DeviceFile, ClearStopsOnADeviceThatKeepsSending)
{
    // Only a sender that never fell silent for a quiet period proves the
    // limit. The pty hands bytes to the reader from a kernel worker, which a
    // loaded machine may hold back longer than the sender's own gaps show:
    // an early end counts only when every one of three tries ends early.
    double elapsed = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        Babbler babbler(pty_.master(), 5ms);
        Stopwatch watch;
        EXPECT_EQ(orvy_api_printer_clear(handle_), 1);
        elapsed = watch.elapsed_ms();
        babbler.stop();
        EXPECT_LT(elapsed, 1000 + kGenerousMarginMs);
        if (babbler.longest_gap_ms() >= 80 || elapsed >= 1000 - kEarlyToleranceMs) return;
    }
    EXPECT_GE(elapsed, 1000 - kEarlyToleranceMs);
}

TEST_F(DeviceFile, CloseHandsOverWhatWasWrittenAndClosesTheDescriptor)
{
    EXPECT_EQ(write({0x0C, 0x1B, 0xF0, 0x06, 0x01, 0x02}, 1000), 6);
    const int fd = static_cast<int>(handle_);
    orvy_api_printer_close(handle_);
    handle_ = -1;
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(pty_.received(), (Bytes{0x0C, 0x1B, 0xF0, 0x06, 0x01, 0x02}));
}

// Handles that are no descriptor of this transport: every operation is a no-op.
struct ForeignHandleCase {
    const char *name;
    intptr_t (*from)(intptr_t descriptor);
};
void PrintTo(const ForeignHandleCase &c, std::ostream *out) { *out << c.name; }

const ForeignHandleCase kForeignHandleCases[] = {
    {"Negative", [](intptr_t) -> intptr_t { return -1; }},
    // Cut down to an int, this one would be the open descriptor itself.
    {"DescriptorPlusTwoToThe32", [](intptr_t fd) { return fd + (static_cast<intptr_t>(1) << 32); }},
    {"JustAboveIntMax", [](intptr_t) { return static_cast<intptr_t>(INT_MAX) + 1; }},
    // A real descriptor of the same port, but not the connection's.
    {"AnotherDescriptor",
     [](intptr_t fd) { return static_cast<intptr_t>(::dup(static_cast<int>(fd))); }},
};

class ForeignHandle : public DeviceFile, public ::testing::WithParamInterface<ForeignHandleCase> {};

TEST_P(ForeignHandle, TouchesNothing)
{
    const intptr_t foreign = GetParam().from(handle_);
    pty_.send({0x42});
    ASSERT_TRUE(pty_.slave_has_input());
    unsigned char data[3] = {0x1D, 0x61, 0x01};

    Stopwatch watch;
    DEBUG_MESSAGES = 1;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(orvy_api_printer_write(foreign, data, 3, 1000), 0);
    EXPECT_EQ(orvy_api_printer_read(foreign, data, 1, 1000), 0);
    EXPECT_EQ(orvy_api_printer_clear(foreign), 0);
    orvy_api_printer_close(foreign);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "no diagnostics either";
    DEBUG_MESSAGES = 0;
    EXPECT_LT(watch.elapsed_ms(), 500) << "no-ops must return at once";
    if (foreign >= 0 && foreign <= INT_MAX) ::close(static_cast<int>(foreign));

    EXPECT_NE(::fcntl(static_cast<int>(handle_), F_GETFD), -1) << "the real descriptor stays open";
    EXPECT_TRUE(pty_.received(100).empty());
    Bytes got;
    EXPECT_EQ(read(got, 1, 1000), 1) << "pending input must not have been discarded";
}

INSTANTIATE_TEST_SUITE_P(Table, ForeignHandle, ::testing::ValuesIn(kForeignHandleCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(DeviceFile, EmptyTransfersDoNothing)
{
    unsigned char data[1] = {0};
    Stopwatch watch;
    EXPECT_EQ(orvy_api_printer_write(handle_, data, 0, 1000), 0);
    EXPECT_EQ(orvy_api_printer_write(handle_, nullptr, 1, 1000), 0);
    EXPECT_EQ(orvy_api_printer_read(handle_, data, 0, 1000), 0);
    EXPECT_EQ(orvy_api_printer_read(handle_, nullptr, 1, 1000), 0);
    EXPECT_LT(watch.elapsed_ms(), 500);
    EXPECT_TRUE(pty_.received(100).empty());
}

}  // namespace
