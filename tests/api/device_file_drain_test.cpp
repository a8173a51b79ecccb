// Draining before close: a terminal whose queue empties, stays stuck or
// cannot be asked (stand-ins, since a pty never holds output back), and a
// descriptor that is no terminal.
#include <gtest/gtest.h>

#include <ostream>

#include "device_file_pty.h"
#include "device_file_wait.h"
#include "terminal_seams.h"

namespace {

using orvy::test::kEarlyToleranceMs;
using orvy::test::kGenerousMarginMs;
using orvy::test::Stopwatch;

// The stand-in driver: its queue and what was asked of it.
struct FakeQueue {
    int (*queued)(int calls);  // queued bytes at the n-th question
    int calls = 0;
    int waits = 0;
    int discards = 0;
};
FakeQueue *g_queue = nullptr;

void use_fake_driver()
{
    namespace seams = orvy::api::terminal_seams;
    seams::queued_output = [](int) { return g_queue->queued(g_queue->calls++); };
    seams::wait_sent = [](int) { ++g_queue->waits; };
    seams::discard_output = [](int) { ++g_queue->discards; };
}

struct DrainCase {
    const char *name;
    int (*queued)(int calls);
    double min_ms;
    double max_ms;
    int waits;
    int discards;
};
void PrintTo(const DrainCase &c, std::ostream *out) { *out << c.name; }

constexpr unsigned long kLimitMs = 300;

const DrainCase kDrainCases[] = {
    {"AlreadyEmpty", [](int) { return 0; }, 0, kGenerousMarginMs, 1, 0},
    // Emptied after five looks, about 50 ms: tcdrain has the last word.
    {"EmptiesInTime", [](int calls) { return calls < 5 ? 512 : 0; }, 0, kGenerousMarginMs, 1, 0},
    // Flow stopped for good: give up at the limit and drop the rest, so
    // that close does not wait for it again.
    {"StaysStuck", [](int) { return 512; }, kLimitMs - kEarlyToleranceMs,
     kLimitMs + kGenerousMarginMs, 0, 1},
    // The driver cannot tell: no unbounded tcdrain, nothing left for close to wait on.
    {"QueueUnknown", [](int) { return -1; }, 0, kGenerousMarginMs, 0, 1},
};

class DrainTerminal : public ::testing::TestWithParam<DrainCase> {};

TEST_P(DrainTerminal, WaitsBoundedAndNeverBlocksInTheDriver)
{
    const auto &c = GetParam();
    FakeQueue queue{c.queued};
    g_queue = &queue;
    Stopwatch watch;
    use_fake_driver();
    orvy::api::drain_terminal(-1, kLimitMs);
    orvy::api::terminal_seams::restore_all();
    g_queue = nullptr;
    EXPECT_GE(watch.elapsed_ms(), c.min_ms);
    EXPECT_LT(watch.elapsed_ms(), c.max_ms);
    EXPECT_EQ(queue.waits, c.waits);
    EXPECT_EQ(queue.discards, c.discards);
}

INSTANTIATE_TEST_SUITE_P(Table, DrainTerminal, ::testing::ValuesIn(kDrainCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DrainDevice, EndsAtTheLimitWhenTheWriteNeverCompletes)
{
    // A full pipe stands for a printer-class device whose write is still in flight.
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    const std::vector<unsigned char> block(4096, 0x20);
    while (::write(fds[1], block.data(), block.size()) > 0) {
    }
    Stopwatch watch;
    orvy::api::drain_output(fds[1], kLimitMs);
    EXPECT_GE(watch.elapsed_ms(), kLimitMs - kEarlyToleranceMs);
    EXPECT_LT(watch.elapsed_ms(), kLimitMs + kGenerousMarginMs);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(DrainDevice, EndsAtOnceWhenTheWriteHasCompleted)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    Stopwatch watch;
    orvy::api::drain_output(fds[1], kLimitMs);
    EXPECT_LT(watch.elapsed_ms(), kLimitMs);
    ::close(fds[0]);
    ::close(fds[1]);
}

}  // namespace
