// The receive ring against the simplest queue that obeys the same rules,
// over long random runs of appends and takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>

#include "rx_ring_test_fixture.h"

namespace orvy::api::test {
namespace {

class RxRingModelTest : public RxRingTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(RxRingModelTest, BehavesLikeABoundedQueue)
{
    std::mt19937 random(GetParam());
    const int start = std::uniform_int_distribution<int>(0, kRxRingSize - 1)(random);
    place(start, start);
    std::deque<unsigned char> model;
    // Mostly packet-sized amounts, now and then one that cannot fit.
    std::uniform_int_distribution<int> amount(0, 80);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> byte(0, 255);

    for (int step = 0; step < 20000; ++step) {
        const int roll = percent(random);
        const int n =
            roll < 3 ? std::uniform_int_distribution<int>(900, 1100)(random) : amount(random);
        if (roll % 2 == 0) {
            std::vector<unsigned char> bytes(static_cast<std::size_t>(n));
            for (auto &b : bytes) b = static_cast<unsigned char>(byte(random));
            const int top_before = m_index_rx_top;
            const bool fits =
                model.size() + bytes.size() <= static_cast<std::size_t>(kRxRingCapacity);
            ASSERT_EQ(append(bytes), fits ? 1 : 0) << "step " << step;
            if (fits) {
                model.insert(model.end(), bytes.begin(), bytes.end());
            } else {
                ASSERT_EQ(m_index_rx_top, top_before) << "step " << step;
            }
        } else {
            const auto taken = take(n);
            const auto expected_count =
                std::min<std::size_t>(static_cast<std::size_t>(n), model.size());
            ASSERT_EQ(taken.size(), expected_count) << "step " << step;
            ASSERT_TRUE(std::equal(taken.begin(), taken.end(), model.begin())) << "step " << step;
            model.erase(model.begin(), model.begin() + static_cast<long>(expected_count));
        }
        ASSERT_EQ(buffer_get_rx_count(), static_cast<int>(model.size())) << "step " << step;
        ASSERT_EQ(buffer_get_rx_free(), kRxRingSize - static_cast<int>(model.size()));
        ASSERT_GE(m_index_rx_top, 0);
        ASSERT_LT(m_index_rx_top, kRxRingSize);
        ASSERT_GE(m_index_rx_bottom, 0);
        ASSERT_LT(m_index_rx_bottom, kRxRingSize);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RxRingModelTest, ::testing::Values(1u, 7u, 2024u, 31337u));

}  // namespace
}  // namespace orvy::api::test
