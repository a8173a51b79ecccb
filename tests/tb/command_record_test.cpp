// Command records: constructors, getters, limits, release and round trips.
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>

namespace {

using orvy::tb::testing::Bytes;
using orvy::test::hex_text;

std::string coded_text_of(intptr_t cmd)
{
    unsigned char *coded = nullptr;
    unsigned int n = 0;
    if (orvy_tb_cmd_get_coded(cmd, &coded, &n) != 1) return "<no coded text>";
    return std::string(reinterpret_cast<char *>(coded), n);
}

Bytes raw_of(intptr_t cmd)
{
    unsigned char *raw = nullptr;
    unsigned int n = 0;
    if (orvy_tb_cmd_get_raw(cmd, &raw, &n) != 1) return {};
    return Bytes(raw, raw + n);
}

TEST(CommandFromRaw, WritesTheCanonicalCodedTextWithItsZeroByte)
{
    using namespace std::string_literals;
    struct {
        Bytes raw;
        std::string coded;  // closing bracket and zero byte included
    } const cases[] = {
        {{0x1B, 0x40}, "[1B 40]\0"s},
        {{0x0A}, "[0A]\0"s},
        {{0xFF, 0x00, 0xA0}, "[FF 00 A0]\0"s},
        {{0x00, 0x5B, 0x22, 0x5C}, "[00 5B 22 5C]\0"s},
    };
    for (const auto &c : cases) {
        Bytes raw = c.raw;
        const intptr_t cmd =
            orvy_tb_cmd_init_raw(raw.data(), static_cast<unsigned int>(raw.size()));
        ASSERT_NE(cmd, 0);
        EXPECT_EQ(coded_text_of(cmd), c.coded);
        EXPECT_EQ(c.coded.size(), 3 * raw.size() + 2);
        char *str = nullptr;
        ASSERT_EQ(orvy_tb_cmd_get_coded_str(cmd, &str), 1);
        EXPECT_STREQ(str, c.coded.c_str());
        EXPECT_EQ(hex_text(raw_of(cmd)), hex_text(c.raw));
        orvy_tb_cmd_exit(cmd);
    }
}

TEST(CommandFromCoded, KeepsAnOwnCopyOfTheTextAsGiven)
{
    Bytes text = orvy::tb::testing::bytes_of("[1B 40] // reset");
    const intptr_t cmd =
        orvy_tb_cmd_init_coded(text.data(), static_cast<unsigned int>(text.size()));
    ASSERT_NE(cmd, 0);
    unsigned char *coded = nullptr;
    unsigned int n = 0;
    ASSERT_EQ(orvy_tb_cmd_get_coded(cmd, &coded, &n), 1);
    EXPECT_NE(coded, text.data());
    EXPECT_EQ(Bytes(coded, coded + n), text);
    text.assign(text.size(), 'z');  // the record must not depend on the caller's buffer
    EXPECT_EQ(hex_text(raw_of(cmd)), "1B 40");
    orvy_tb_cmd_exit(cmd);
}

TEST(CommandFromCoded, NothingButBlanksGivesAnEmptyRawCommand)
{
    Bytes text = orvy::tb::testing::bytes_of(" \t // only a comment");
    const intptr_t cmd =
        orvy_tb_cmd_init_coded(text.data(), static_cast<unsigned int>(text.size()));
    ASSERT_NE(cmd, 0);
    unsigned char *raw = nullptr;
    unsigned int n = 99;
    EXPECT_EQ(orvy_tb_cmd_get_raw(cmd, &raw, &n), 1);
    EXPECT_EQ(n, 0U);
    EXPECT_NE(raw, nullptr);
    orvy_tb_cmd_exit(cmd);
}

TEST(CommandConstructors, RefuseMissingOrEmptyOrOversizedInput)
{
    // The oversized counts are refused before the buffer is read, so a small
    // buffer is enough here; reading it would be caught by the sanitizers.
    unsigned char byte = 0x41;
    EXPECT_EQ(orvy_tb_cmd_init_coded(nullptr, 4), 0);
    EXPECT_EQ(orvy_tb_cmd_init_coded(&byte, 0), 0);
    EXPECT_EQ(orvy_tb_cmd_init_coded(&byte, 2147483648U), 0);
    EXPECT_EQ(orvy_tb_cmd_init_coded(&byte, UINT_MAX), 0);
    EXPECT_EQ(orvy_tb_cmd_init_raw(nullptr, 4), 0);
    EXPECT_EQ(orvy_tb_cmd_init_raw(&byte, 0), 0);
    EXPECT_EQ(orvy_tb_cmd_init_raw(&byte, 715827882U), 0);
    EXPECT_EQ(orvy_tb_cmd_init_raw(&byte, UINT_MAX), 0);
}

TEST(CommandGetters, LeaveTheDestinationsAloneWithoutHandleOrDestination)
{
    unsigned char byte = 0x41;
    const intptr_t cmd = orvy_tb_cmd_init_raw(&byte, 1);
    ASSERT_NE(cmd, 0);
    unsigned char marker = 0;
    unsigned char *ptr = &marker;
    unsigned int size = 1234;
    char *str = reinterpret_cast<char *>(&marker);

    using Getter = int (*)(intptr_t, unsigned char **, unsigned int *);
    for (const Getter get : {Getter{orvy_tb_cmd_get_raw}, Getter{orvy_tb_cmd_get_coded}}) {
        EXPECT_EQ(get(0, &ptr, &size), 0);
        EXPECT_EQ(get(cmd, nullptr, &size), 0);
        EXPECT_EQ(get(cmd, &ptr, nullptr), 0);
        EXPECT_EQ(ptr, &marker);
        EXPECT_EQ(size, 1234U);
    }
    EXPECT_EQ(orvy_tb_cmd_get_coded_str(0, &str), 0);
    EXPECT_EQ(orvy_tb_cmd_get_coded_str(cmd, nullptr), 0);
    EXPECT_EQ(str, reinterpret_cast<char *>(&marker));

    orvy_tb_cmd_exit(cmd);
    orvy_tb_cmd_exit(0);
}

TEST(CommandRoundTrip, RawToCodedToRawGivesTheSameBytes)
{
    std::mt19937 rng(417702);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(1, 3000);
    for (int round = 0; round < 300; ++round) {
        Bytes raw(round < 256 ? 1 : length(rng));
        for (auto &b : raw) b = static_cast<unsigned char>(byte(rng));
        if (round < 256) raw[0] = static_cast<unsigned char>(round);  // every single byte value

        const intptr_t from_raw =
            orvy_tb_cmd_init_raw(raw.data(), static_cast<unsigned int>(raw.size()));
        ASSERT_NE(from_raw, 0);
        unsigned char *coded = nullptr;
        unsigned int coded_size = 0;
        ASSERT_EQ(orvy_tb_cmd_get_coded(from_raw, &coded, &coded_size), 1);
        ASSERT_EQ(coded_size, 3 * raw.size() + 2);

        const intptr_t from_coded = orvy_tb_cmd_init_coded(coded, coded_size);
        ASSERT_NE(from_coded, 0);
        EXPECT_EQ(hex_text(raw_of(from_coded)), hex_text(raw)) << "round " << round;
        orvy_tb_cmd_exit(from_coded);
        orvy_tb_cmd_exit(from_raw);
    }
}

// Each constructor allocates three times: the record, the copy of its input,
// the second buffer. Whichever fails, nothing reaches the caller and nothing
// taken before is kept (the leak checker of the sanitizer build sees that).
class ConstructorAllocationFailure : public ::testing::TestWithParam<unsigned> {
protected:
    void TearDown() override { orvy::tb::testing::fail_allocation_number(0); }
};

TEST_P(ConstructorAllocationFailure, ReleasesEverythingAndReturnsZero)
{
    Bytes text = orvy::tb::testing::bytes_of("[1B 40]");
    orvy::tb::testing::fail_allocation_number(GetParam());
    EXPECT_EQ(orvy_tb_cmd_init_coded(text.data(), static_cast<unsigned int>(text.size())), 0);
    orvy::tb::testing::fail_allocation_number(GetParam());
    EXPECT_EQ(orvy_tb_cmd_init_raw(text.data(), static_cast<unsigned int>(text.size())), 0);
    orvy::tb::testing::fail_allocation_number(0);

    const intptr_t cmd =
        orvy_tb_cmd_init_coded(text.data(), static_cast<unsigned int>(text.size()));
    EXPECT_NE(cmd, 0) << "the failure must not outlast its call";
    orvy_tb_cmd_exit(cmd);
}

INSTANTIATE_TEST_SUITE_P(EachOfThree, ConstructorAllocationFailure, ::testing::Values(1U, 2U, 3U));

}  // namespace
