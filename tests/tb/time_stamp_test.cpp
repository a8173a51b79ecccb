#include "Orvy_Tb.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

timespec stamp(time_t sec, long nsec)
{
    timespec ts{};
    ts.tv_sec = sec;
    ts.tv_nsec = nsec;
    return ts;
}

struct DeltaCase {
    timespec a;
    timespec b;
    timespec expected;
};

class DeltaTest : public ::testing::TestWithParam<DeltaCase> {};

TEST_P(DeltaTest, IsAbsoluteInEitherOrderAndWithDeltaAliasingAnInput)
{
    const DeltaCase &c = GetParam();
    auto check = [&](timespec got, const char *how) {
        EXPECT_EQ(got.tv_sec, c.expected.tv_sec) << how;
        EXPECT_EQ(got.tv_nsec, c.expected.tv_nsec) << how;
    };

    timespec a = c.a, b = c.b, delta{};
    orvy_tb_get_delta_ts(&a, &b, &delta);
    check(delta, "a, b");
    orvy_tb_get_delta_ts(&b, &a, &delta);
    check(delta, "b, a");

    orvy_tb_get_delta_ts(&a, &b, &a);
    check(a, "delta is ts1");
    a = c.a;
    orvy_tb_get_delta_ts(&a, &b, &b);
    check(b, "delta is ts2");
    b = c.b;
    orvy_tb_get_delta_ts(&b, &a, &b);
    check(b, "reversed, delta is ts1");
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, DeltaTest,
    ::testing::Values(DeltaCase{stamp(5, 200000000), stamp(3, 700000000),
                                stamp(1, 500000000)},                          // borrow
                      DeltaCase{stamp(7, 100), stamp(7, 100), stamp(0, 0)},    // equal
                      DeltaCase{stamp(7, 900), stamp(7, 100), stamp(0, 800)},  // same second
                      DeltaCase{stamp(9, 999999999), stamp(2, 0), stamp(7, 999999999)},
                      DeltaCase{stamp(1, 0), stamp(0, 999999999), stamp(0, 1)},
                      DeltaCase{stamp(-2, 500000000), stamp(1, 0), stamp(2, 500000000)}));

TEST(DeltaTs, MissingArgumentWritesNothing)
{
    timespec a = stamp(5, 0), b = stamp(3, 0), delta = stamp(42, 42);
    orvy_tb_get_delta_ts(nullptr, &b, &delta);
    orvy_tb_get_delta_ts(&a, nullptr, &delta);
    EXPECT_EQ(delta.tv_sec, 42);
    EXPECT_EQ(delta.tv_nsec, 42);
    orvy_tb_get_delta_ts(&a, &b, nullptr);
}

TEST(ConvertTsToMs, TruncatesPartsOfAMillisecond)
{
    struct {
        timespec ts;
        unsigned long ms;
    } const cases[] = {
        {stamp(1, 999999999), 1999},
        {stamp(1, 500000000), 1500},
        {stamp(0, 999999), 0},
        {stamp(0, 1000000), 1},
        {stamp(0, 0), 0},
        {stamp(4294967, 296000000), 4294967296UL & ULONG_MAX},
    };
    for (const auto &c : cases) {
        timespec ts = c.ts;
        unsigned long ms = 12345;
        orvy_tb_convert_ts_to_ms(&ts, &ms);
        EXPECT_EQ(ms, c.ms) << ts.tv_sec << " s " << ts.tv_nsec << " ns";
    }
}

TEST(ConvertTsToMs, WrapsModuloTheWidthOfUnsignedLong)
{
    // Signed arithmetic would overflow here; the result must wrap instead.
    timespec ts = stamp(LONG_MAX, 7000000);
    unsigned long ms = 0;
    orvy_tb_convert_ts_to_ms(&ts, &ms);
    EXPECT_EQ(ms, static_cast<unsigned long>(LONG_MAX) * 1000UL + 7UL);
}

TEST(ConvertTsToMs, MissingArgumentWritesNothing)
{
    timespec ts = stamp(1, 0);
    unsigned long ms = 77;
    orvy_tb_convert_ts_to_ms(nullptr, &ms);
    EXPECT_EQ(ms, 77UL);
    orvy_tb_convert_ts_to_ms(&ts, nullptr);
}

TEST(TimeStamp, IsTheRealTimeClock)
{
    timespec before{}, stamped{}, after{};
    clock_gettime(CLOCK_REALTIME, &before);
    orvy_tb_set_time_stamp(&stamped);
    clock_gettime(CLOCK_REALTIME, &after);
    const auto ns = [](const timespec &t) { return t.tv_sec * 1000000000LL + t.tv_nsec; };
    EXPECT_LE(ns(before), ns(stamped));
    EXPECT_LE(ns(stamped), ns(after));
    orvy_tb_set_time_stamp(nullptr);
}

TEST(AgeInMs, OfAFreshStampIsSmall)
{
    timespec ts{};
    orvy_tb_set_time_stamp(&ts);
    EXPECT_LT(orvy_tb_calc_age_in_ms(&ts), 5000UL);
}

TEST(AgeInMs, OfAPastStampIsAtLeastItsDistance)
{
    timespec ts{};
    orvy_tb_set_time_stamp(&ts);
    ts.tv_sec -= 3;
    const unsigned long age = orvy_tb_calc_age_in_ms(&ts);
    EXPECT_GE(age, 3000UL);
    EXPECT_LT(age, 3000UL + 60000UL);
}

TEST(AgeInMs, OfAStampInTheFutureIsItsDistanceNotAWrappedValue)
{
    timespec ts{};
    orvy_tb_set_time_stamp(&ts);
    ts.tv_sec += 2;
    const unsigned long age = orvy_tb_calc_age_in_ms(&ts);
    EXPECT_LE(age, 2000UL);
    EXPECT_GT(age, 2000UL - 1500UL);
}

TEST(AgeInMs, OfAMissingStampIsZero) { EXPECT_EQ(orvy_tb_calc_age_in_ms(nullptr), 0UL); }

TEST(LibraryInfo, IsTheSameConstantTextOnEveryCall)
{
    const char *first = orvy_tb_get_library_info();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "Velmora - libOrvyTb - R3-V1.04e - S417702");
    EXPECT_EQ(orvy_tb_get_library_info(), first);
}

}  // namespace
