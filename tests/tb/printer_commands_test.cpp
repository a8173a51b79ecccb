#include "Orvy_Tb.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Builder = size_t (*)(unsigned char *, size_t);

Bytes built(Builder builder)
{
    Bytes out(ORVY_TB_COMMAND_MAX_SIZE + 1, 0xEE);
    out.resize(builder(out.data(), out.size()));
    return out;
}

TEST(PrinterCommands, AreTheSamplesBytes)
{
    EXPECT_EQ(built(orvy_tb_command_status_inquiry), (Bytes{0x1D, 0x61, 0x02}));
    EXPECT_EQ(built(orvy_tb_command_hard_reset), (Bytes{0x1B, 0xF2, 0x03, 0x00}));
    EXPECT_EQ(built(orvy_tb_command_form_feed), (Bytes{0x0C}));
    EXPECT_EQ(built(orvy_tb_command_full_cut), (Bytes{0x1B, 0xF0, 0x06, 0x01, 0x02}));
}

TEST(PrinterCommands, PageLengthCountsInTwoHundredFiftyFives)
{
    const struct {
        int tenths_mm;
        unsigned char hi, lo;
    } cases[] = {{1255, 0x04, 0xEB},  {300, 0x01, 0x2D},   {255, 0x01, 0x00}, {254, 0x00, 0xFE},
                 {65279, 0xFF, 0xFE}, {65280, 0x00, 0x00}, {0, 0x00, 0x00},   {-1, 0x00, 0xFF}};
    for (const auto &c : cases) {
        Bytes out(ORVY_TB_COMMAND_MAX_SIZE);
        ASSERT_EQ(orvy_tb_command_page_length(c.tenths_mm, out.data(), out.size()), 7U);
        EXPECT_EQ(out, (Bytes{0x1B, 0xF1, 0x01, 0x03, 0x0A, c.hi, c.lo})) << c.tenths_mm;
    }
}

TEST(PrinterCommands, TooSmallABufferIsLeftAloneAndLearnsTheLength)
{
    Bytes out(4, 0xEE);
    EXPECT_EQ(orvy_tb_command_full_cut(out.data(), out.size()), 5U);
    EXPECT_EQ(out, Bytes(4, 0xEE));
    EXPECT_EQ(orvy_tb_command_page_length(1255, nullptr, 0), 7U);
    EXPECT_EQ(orvy_tb_command_form_feed(nullptr, 0), 1U);
}

}  // namespace
