#include "Orvy_Tb.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

std::string payload_of(void *mem)
{
    return std::string(static_cast<char *>(mem), orvy_tb_alloc_mem_size(mem));
}

void *block_holding(const std::string &bytes)
{
    return orvy_tb_alloc_mem_cat(nullptr, const_cast<char *>(bytes.data()), bytes.size());
}

TEST(SizedBlock, IsZeroFilledAndKnowsItsSize)
{
    void *mem = orvy_tb_alloc_mem(16);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(orvy_tb_alloc_mem_size(mem), 16UL);
    EXPECT_EQ(payload_of(mem), std::string(16, '\0'));
    orvy_tb_free(mem);

    void *empty = orvy_tb_alloc_mem(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(orvy_tb_alloc_mem_size(empty), 0UL);
    orvy_tb_free(empty);
}

TEST(SizedBlock, NoneHasSizeZeroAndFreesToNothing)
{
    EXPECT_EQ(orvy_tb_alloc_mem_size(nullptr), 0UL);
    orvy_tb_free(nullptr);
}

TEST(SizedBlockCat, AppendsBehindTheOldPayload)
{
    struct {
        const char *old;  // nullptr: no old block
        const char *data;
        unsigned long size;
        std::string expected;
    } const cases[] = {
        {"abcd", "xyz", 3, "abcdxyz"},
        {nullptr, "xyz", 3, "xyz"},
        {"ab", nullptr, 5, std::string("ab\0\0\0\0\0", 7)},
        {"abcd", "xyz", 0, "abcd"},
        {nullptr, nullptr, 0, ""},
    };
    for (const auto &c : cases) {
        void *old = c.old != nullptr ? block_holding(c.old) : nullptr;
        void *mem = orvy_tb_alloc_mem_cat(old, const_cast<char *>(c.data), c.size);
        ASSERT_NE(mem, nullptr);
        EXPECT_EQ(payload_of(mem), c.expected);
        orvy_tb_free(mem);  // the old block is gone already; the sanitizers check
    }
}

TEST(SizedBlockCat, MayAppendItsOwnPayload)
{
    void *mem = block_holding("abc");
    mem = orvy_tb_alloc_mem_cat(mem, mem, 3);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(payload_of(mem), "abcabc");
    orvy_tb_free(mem);
}

// Sizes whose block size (header included) wraps around must not turn into
// small blocks that are then written past their end.
TEST(SizedBlock, RefusesSizesThatWrapWithTheHeader)
{
    const unsigned long header = sizeof(unsigned long);
    for (const unsigned long size : {ULONG_MAX, ULONG_MAX - header + 1, ULONG_MAX - header + 2}) {
        EXPECT_EQ(orvy_tb_alloc_mem(size), nullptr) << size;
    }
}

TEST(SizedBlockCat, RefusesSizesThatWrapAndStillConsumesTheOldBlock)
{
    const unsigned long header = sizeof(unsigned long);
    char data[4] = {'w', 'x', 'y', 'z'};
    // old + new wraps; header + old + new wraps.
    for (const unsigned long size : {ULONG_MAX - 2, ULONG_MAX - 4 - header + 1}) {
        void *old = block_holding("abcd");
        EXPECT_EQ(orvy_tb_alloc_mem_cat(old, data, size), nullptr) << size;
    }
    EXPECT_EQ(orvy_tb_alloc_mem_cat(nullptr, nullptr, ULONG_MAX), nullptr);
}

TEST(SizedBlockCat, FailedAllocationStillConsumesTheOldBlock)
{
    void *old = block_holding("abcd");
    orvy::tb::testing::fail_allocation_number(1);
    EXPECT_EQ(orvy_tb_alloc_mem_cat(old, nullptr, 1), nullptr);
    orvy::tb::testing::fail_allocation_number(0);
}

TEST(SizedBlock, FailedAllocationGivesNone)
{
    orvy::tb::testing::fail_allocation_number(1);
    EXPECT_EQ(orvy_tb_alloc_mem(8), nullptr);
    orvy::tb::testing::fail_allocation_number(0);
}

}  // namespace
