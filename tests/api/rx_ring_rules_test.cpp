// The receive ring's rules, against its module-private functions.
#include <gtest/gtest.h>

#include "rx_ring_test_fixture.h"

namespace orvy::api::test {
namespace {

struct Placement {
    int top;
    int bottom;
    int held;
};

TEST_F(RxRingTest, CountAndFreeFollowFromTheIndexesAlone)
{
    const Placement placements[] = {
        {0, 0, 0},       {1000, 1000, 0}, {1023, 1023, 0}, {5, 0, 5},       {0, 5, 1019},
        {1023, 0, 1023}, {0, 1, 1023},    {1000, 0, 1000}, {76, 1000, 100},
    };
    for (const auto &p : placements) {
        place(p.top, p.bottom);
        EXPECT_EQ(buffer_get_rx_count(), p.held) << p.top << "/" << p.bottom;
        EXPECT_EQ(buffer_get_rx_free(), kRxRingSize - p.held) << p.top << "/" << p.bottom;
    }
}

TEST_F(RxRingTest, EmptyRingGivesNothingAndKeepsItsIndexes)
{
    place(300, 300);
    EXPECT_EQ(buffer_get_rx_count(), 0);
    EXPECT_EQ(buffer_get_rx_free(), 1024);
    for (int wanted : {1, 4, 1023, 5000}) EXPECT_TRUE(take(wanted).empty());
    EXPECT_EQ(m_index_rx_top, 300);
    EXPECT_EQ(m_index_rx_bottom, 300);
}

TEST_F(RxRingTest, AppendWrapsAtTheEndOfTheStorageAndTakeKeepsArrivalOrder)
{
    place(1000, 1000);
    const auto bytes = counting(100);
    ASSERT_EQ(append(bytes), 1);
    EXPECT_EQ(m_index_rx_top, 76);
    EXPECT_EQ(m_index_rx_bottom, 1000);
    EXPECT_EQ(buffer_get_rx_count(), 100);
    const auto slots = storage();
    EXPECT_EQ(std::vector<unsigned char>(slots.begin() + 1000, slots.end()),
              std::vector<unsigned char>(bytes.begin(), bytes.begin() + 24));
    EXPECT_EQ(std::vector<unsigned char>(slots.begin(), slots.begin() + 76),
              std::vector<unsigned char>(bytes.begin() + 24, bytes.end()));
    EXPECT_EQ(slots[76], 0xA5) << "nothing written past the new write index";

    EXPECT_EQ(take(100), bytes);
    EXPECT_EQ(m_index_rx_bottom, 76);
    EXPECT_EQ(m_index_rx_top, 76) << "an empty ring keeps its indexes where they are";
}

TEST_F(RxRingTest, OneSlotAlwaysStaysFree)
{
    place(1000, 0);
    EXPECT_EQ(buffer_get_rx_free(), 24);
    const auto before = storage();
    EXPECT_EQ(append(counting(24)), 0);
    EXPECT_EQ(storage(), before) << "a refused append copies nothing";
    EXPECT_EQ(m_index_rx_top, 1000);
    EXPECT_EQ(m_index_rx_bottom, 0);

    EXPECT_EQ(append(counting(23, 7)), 1);
    EXPECT_EQ(m_index_rx_top, 1023);
    EXPECT_EQ(buffer_get_rx_count(), 1023);
    EXPECT_EQ(buffer_get_rx_free(), 1);
    const auto full = storage();
    EXPECT_EQ(std::vector<unsigned char>(full.begin() + 1000, full.begin() + 1023),
              counting(23, 7));
    for (int n : {1, 2, 64}) EXPECT_EQ(append(counting(n)), 0) << n;
    EXPECT_EQ(m_index_rx_top, 1023);
}

TEST_F(RxRingTest, OversizedAppendsAreRefusedInEveryState)
{
    const Placement placements[] = {{0, 0, 0}, {512, 512, 0}, {10, 0, 10}, {0, 10, 1014}};
    for (const auto &p : placements) {
        place(p.top, p.bottom);
        EXPECT_EQ(append(counting(1024)), 0);
        EXPECT_EQ(append(counting(2000)), 0);
        EXPECT_EQ(m_index_rx_top, p.top);
        EXPECT_EQ(m_index_rx_bottom, p.bottom);
    }
}

TEST_F(RxRingTest, AFullLoadFitsAnEmptyRingWhereverItsIndexesStand)
{
    const auto bytes = counting(kRxRingCapacity, 3);
    for (int at : {0, 1, 511, 1000, 1022, 1023}) {
        place(at, at);
        ASSERT_EQ(append(bytes), 1) << at;
        EXPECT_EQ(buffer_get_rx_count(), 1023) << at;
        EXPECT_EQ(m_index_rx_top, (at + 1023) % 1024) << at;
        EXPECT_EQ(take(2000), bytes) << at;
        EXPECT_EQ(m_index_rx_bottom, m_index_rx_top) << at;
    }
}

TEST_F(RxRingTest, TakesHandOutTheOldestBytesAndNeverMoreThanHeld)
{
    place(1020, 1020);  // so that the ten bytes wrap
    const auto bytes = counting(10, 40);
    ASSERT_EQ(append(bytes), 1);
    EXPECT_EQ(take(4), std::vector<unsigned char>(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(take(6), std::vector<unsigned char>(bytes.begin() + 4, bytes.end()));

    ASSERT_EQ(append(counting(6, 90)), 1);
    EXPECT_EQ(take(20), counting(6, 90));
    EXPECT_EQ(buffer_get_rx_count(), 0);
    EXPECT_EQ(m_index_rx_top, 12);
}

TEST_F(RxRingTest, EmptyOrNegativeAmountsChangeNothing)
{
    place(200, 100);
    const auto before = storage();
    unsigned char byte = 0x11;
    for (int n : {0, -1, -1024}) {
        EXPECT_EQ(buffer_set_rx_data(&byte, n), 1) << n;
        EXPECT_EQ(buffer_get_rx_data(&byte, n), 0) << n;
    }
    EXPECT_EQ(byte, 0x11);
    EXPECT_EQ(storage(), before);
    EXPECT_EQ(m_index_rx_top, 200);
    EXPECT_EQ(m_index_rx_bottom, 100);
}

TEST_F(RxRingTest, ResetZeroesTheStorageAndBothIndexes)
{
    place(700, 3);
    buffer_reset_rx();
    EXPECT_EQ(m_index_rx_top, 0);
    EXPECT_EQ(m_index_rx_bottom, 0);
    EXPECT_EQ(storage(), std::vector<unsigned char>(kRxRingSize, 0));
}

TEST_F(RxRingTest, WithoutStorageAppendsAreRefusedAndResetOnlyMovesIndexes)
{
    std::free(m_pub_rx_buffer);
    m_pub_rx_buffer = nullptr;
    place(0, 0);
    EXPECT_EQ(append(counting(4)), 0);
    EXPECT_TRUE(take(4).empty());
    place(9, 5);
    buffer_reset_rx();
    EXPECT_EQ(m_index_rx_top, 0);
    EXPECT_EQ(m_index_rx_bottom, 0);
}

}  // namespace
}  // namespace orvy::api::test
