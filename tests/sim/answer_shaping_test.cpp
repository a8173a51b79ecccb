// The answer knobs and the USB packet split.
#include <gtest/gtest.h>

#include "answer_shaping.h"
#include "hex.h"

namespace orvy::sim {
namespace {

const Bytes kAnswer = {0x1B, 0xFF, 0x02, 0x0E, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

TEST(AnswerShaping, KnobsChangeOnlyWhatTheyName)
{
    struct Case {
        AnswerShape shape;
        const char *expected;
    };
    AnswerShape esc, marker, type, size, cut, garbage, all;
    esc.esc = 0x1C;
    marker.marker = 0x00;
    type.type = 0x03;
    size.size = 0x10;
    cut.short_length = 3;
    garbage.garbage = 2;
    all.type = 0x09;
    all.short_length = 5;
    all.garbage = 1;
    const Case cases[] = {
        {AnswerShape{}, "1B FF 02 0E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"},
        {esc, "1C FF 02 0E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"},
        {marker, "1B 00 02 0E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"},
        {type, "1B FF 03 0E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"},
        {size, "1B FF 02 10 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"},
        {cut, "1B FF 02"},
        {garbage, "EE EE 1B FF 02 0E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"},
        {all, "EE 1B FF 09 0E 01"},
    };
    for (const auto &c : cases) EXPECT_EQ(hex_line(shape_answer(kAnswer, c.shape)), c.expected);
}

TEST(AnswerShaping, ShortAnswerLongerThanTheAnswerKeepsIt)
{
    AnswerShape shape;
    shape.short_length = 100;
    EXPECT_EQ(shape_answer(kAnswer, shape), kAnswer);
    shape.short_length = 0;
    EXPECT_TRUE(shape_answer(kAnswer, shape).empty());
}

std::vector<std::size_t> sizes_of(const std::vector<Bytes> &packets)
{
    std::vector<std::size_t> sizes;
    for (const auto &p : packets) sizes.push_back(p.size());
    return sizes;
}

TEST(PacketSplit, LastSizeRepeatsAndNoPacketExceedsTheEndpoint)
{
    const Bytes answer(167, 0xAB);  // the flash answer
    struct Case {
        std::vector<std::size_t> split;
        std::size_t max_packet;
        std::vector<std::size_t> expected;
    };
    const Case cases[] = {
        {{}, 64, {64, 64, 39}},
        {{100}, 64, {64, 64, 39}},
        {{4, 14},
         64,
         [] {
             std::vector<std::size_t> v{4};
             for (int i = 0; i < 11; ++i) v.push_back(14);
             v.push_back(9);
             return v;
         }()},
        {{}, 8, std::vector<std::size_t>(20, 8)},
    };
    for (const auto &c : cases) {
        auto expected = c.expected;
        if (c.max_packet == 8) expected.push_back(7);
        const auto packets = split_into_packets(answer, c.split, c.max_packet);
        EXPECT_EQ(sizes_of(packets), expected);
        Bytes joined;
        for (const auto &p : packets) joined.insert(joined.end(), p.begin(), p.end());
        EXPECT_EQ(joined, answer);
    }
    EXPECT_EQ(split_into_packets(Bytes(5, 1), {1}, 64).size(), 5u);
    EXPECT_TRUE(split_into_packets(Bytes{}, {}, 64).empty());
}

}  // namespace
}  // namespace orvy::sim
