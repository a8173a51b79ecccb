// The six records, byte-exact at the offsets of the record tables the
// inquiry tool decodes; expected positions are written from those tables,
// not from the simulator's code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "printer.h"

namespace orvy::sim {
namespace {

Bytes answer(std::uint8_t mask)
{
    const auto a = Printer().answer_to_inquiry(mask);
    return a ? *a : Bytes{};
}

std::uint32_t le32(const Bytes &r, std::size_t at)
{
    return r.at(at) | r.at(at + 1) << 8 | r.at(at + 2) << 16 |
           static_cast<std::uint32_t>(r.at(at + 3)) << 24;
}
std::uint16_t le16(const Bytes &r, std::size_t at)
{
    return static_cast<std::uint16_t>(r.at(at) | r.at(at + 1) << 8);
}

// Text of a slot up to its zero byte, never beyond the slot.
std::string slot(const Bytes &r, std::size_t at, std::size_t width)
{
    std::string text;
    for (std::size_t i = at; i < at + width && r.at(i) != 0; ++i) text += static_cast<char>(r[i]);
    return text;
}

bool slot_has_zero(const Bytes &r, std::size_t at, std::size_t width)
{
    for (std::size_t i = at; i < at + width; ++i) {
        if (r.at(i) == 0) return true;
    }
    return false;
}

struct HeaderCase {
    std::uint8_t mask, type, size;
};

TEST(RecordLayout, EveryInquiryBitGetsItsHeaderAndExactlyItsRecord)
{
    const HeaderCase cases[] = {{0x01, 2, 14},  {0x02, 3, 109}, {0x04, 4, 35},
                                {0x08, 5, 163}, {0x10, 6, 26},  {0x20, 7, 39}};
    for (const auto &c : cases) {
        const Bytes a = answer(c.mask);
        ASSERT_EQ(a.size(), 4u + c.size) << int(c.mask);
        EXPECT_EQ(a[0], 0x1B);
        EXPECT_EQ(a[1], 0xFF);
        EXPECT_EQ(a[2], c.type);
        EXPECT_EQ(a[3], c.size);
    }
}

TEST(RecordLayout, OtherInquiryBitsGetNoAnswer)
{
    for (int n : {0x00, 0x03, 0x40, 0x80, 0xFF}) EXPECT_FALSE(Printer().answer_to_inquiry(n)) << n;
}

TEST(RecordLayout, StatusFields)
{
    const Bytes a = answer(0x01);
    const Bytes r(a.begin() + 4, a.end());
    EXPECT_EQ(le32(r, 0), 0x80000001u);
    EXPECT_EQ(static_cast<std::int16_t>(le16(r, 5)), -7) << "a negative head temperature";
    EXPECT_EQ(le16(r, 7), 241);
    EXPECT_EQ(r[9], 0x01);
    EXPECT_EQ(le16(r, 10), 0);
}

TEST(RecordLayout, InformationTextsSitInTheirSlots)
{
    const Bytes a = answer(0x02);
    const Bytes r(a.begin() + 4, a.end());
    EXPECT_EQ(r[0], 3);
    EXPECT_EQ(slot(r, 1, 17), "ORVY-K80-P1");
    EXPECT_EQ(slot(r, 18, 17), "K80P1-26-004711");
    EXPECT_EQ(slot(r, 35, 17), "2026-03-14");
    EXPECT_EQ(le32(r, 52), 0x00011203u);
    EXPECT_EQ(slot(r, 64, 17), "FW-K80-0173");
    EXPECT_EQ(slot(r, 81, 11), "1.7.3");
    EXPECT_EQ(slot(r, 92, 13), "2026-02-27");
    EXPECT_EQ(le32(r, 105), 2u);
}

TEST(RecordLayout, SensorFields)
{
    const Bytes a = answer(0x04);
    const Bytes r(a.begin() + 4, a.end());
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(r[1], 0x7A) << "first ADC byte";
    EXPECT_EQ(r[16], 0x5C) << "sixteenth ADC byte";
    EXPECT_EQ(le16(r, 17), 0x0155);
    EXPECT_EQ(static_cast<std::int16_t>(le16(r, 19)), -7);
    EXPECT_EQ(le16(r, 21), 241);
    const std::uint8_t states[] = {0x00, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(0, std::memcmp(&r[23], states, sizeof states));
    EXPECT_EQ(r[33], 0);
    EXPECT_EQ(r[34], 0);
}

TEST(RecordLayout, FlashHasAFullSlotWithoutZeroAndAnEmptySlot)
{
    const Bytes a = answer(0x08);
    const Bytes r(a.begin() + 4, a.end());
    const std::size_t slots[] = {1, 22, 43, 64, 85, 106};
    EXPECT_EQ(slot(r, slots[0], 21), "BOOT 1.02 2025-11-04");
    EXPECT_FALSE(slot_has_zero(r, slots[1], 21)) << "slot 2 fills its 21 bytes";
    EXPECT_EQ(slot(r, slots[1], 21), "APPL 1.7.3 2026-02-27");
    EXPECT_EQ(r[slots[3]], 0) << "slot 4 is empty";
    const std::uint32_t crcs[] = {0x4C2A, 0xE1D7, 0x9B03, 0x0000, 0x71F0, 0xA55A};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(le32(r, 127 + 4 * i), crcs[i]) << i;
    const std::uint8_t states[] = {1, 1, 1, 0, 1, 1};
    EXPECT_EQ(0, std::memcmp(&r[151], states, sizeof states));
    for (std::size_t i = 157; i < 163; ++i) EXPECT_EQ(r[i], 0) << i;
}

TEST(RecordLayout, PresenterCountsIncludeAllOnes)
{
    const Bytes a = answer(0x10);
    const Bytes r(a.begin() + 4, a.end());
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(r[1], 2);
    EXPECT_EQ(le32(r, 6), 1523u);
    EXPECT_EQ(le32(r, 10), 1519u);
    const std::uint8_t all_ones[] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(0, std::memcmp(&r[14], all_ones, 4)) << "rejected pages";
}

TEST(RecordLayout, LifeCountersReachBeyondSigned32Bits)
{
    const Bytes a = answer(0x20);
    const Bytes r(a.begin() + 4, a.end());
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(le32(r, 1), 3456789012u);
    EXPECT_GT(le32(r, 5), 0x7FFFFFFFu);
    EXPECT_EQ(le32(r, 17), 412u);
    EXPECT_EQ(le32(r, 21), 17u);
    EXPECT_EQ(le32(r, 25), 1519u);
    EXPECT_EQ(le16(r, 29), 88);
    for (std::size_t i = 31; i < 39; ++i) EXPECT_EQ(r[i], 0) << i;
}

TEST(RecordLayout, SameBytesForEveryFreshPrinter)
{
    for (int mask : {0x01, 0x02, 0x04, 0x08, 0x10, 0x20}) EXPECT_EQ(answer(mask), answer(mask));
}

}  // namespace
}  // namespace orvy::sim
