// A receive ring of its own for each test: the exported storage and indexes
// set to a known state, and put back to "no ring" afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "Orvy_Api.h"
#include "rx_ring.h"

namespace orvy::api::test {

class RxRingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pub_rx_buffer = static_cast<unsigned char *>(std::malloc(kRxRingSize));
        ASSERT_NE(m_pub_rx_buffer, nullptr);
        for (int i = 0; i < kRxRingSize; ++i) m_pub_rx_buffer[i] = 0xA5;
        place(0, 0);
    }
    void TearDown() override
    {
        std::free(m_pub_rx_buffer);
        m_pub_rx_buffer = nullptr;
        place(0, 0);
    }

    static void place(int top, int bottom)
    {
        m_index_rx_top = top;
        m_index_rx_bottom = bottom;
    }

    // first, first + 1, ... (mod 256)
    static std::vector<unsigned char> counting(int count, int first = 1)
    {
        std::vector<unsigned char> bytes(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            bytes[static_cast<std::size_t>(i)] = static_cast<unsigned char>(first + i);
        }
        return bytes;
    }

    static std::vector<unsigned char> storage()
    {
        return {m_pub_rx_buffer, m_pub_rx_buffer + kRxRingSize};
    }

    static int append(std::vector<unsigned char> bytes)
    {
        return buffer_set_rx_data(bytes.data(), static_cast<int>(bytes.size()));
    }

    // Takes n bytes; the result holds exactly what was taken.
    static std::vector<unsigned char> take(int n)
    {
        std::vector<unsigned char> bytes(n > 0 ? static_cast<std::size_t>(n) : 1, 0);
        const int taken = buffer_get_rx_data(bytes.data(), n);
        bytes.resize(static_cast<std::size_t>(taken));
        return bytes;
    }
};

}  // namespace orvy::api::test
