// Transcript lines and the serial settings line.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "hex.h"
#include "scratch_dir.h"
#include "serial_settings.h"
#include "transcript.h"

namespace orvy::sim {
namespace {

TEST(Transcript, DataAndEventLines)
{
    const orvy::test::ScratchDir dir("orvy-transcript");
    const std::string path = dir.path("transcript.log");
    {
        Transcript t;
        ASSERT_TRUE(t.open(path));
        t.data("usb", true, Bytes{0x1D, 0x61, 0x01});
        t.data("lp", false, Bytes{0x1B, 0xFF, 0x0a});
        t.data("tty", true, Bytes{});
        t.event("usb", "claim interface 0");
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "usb > 1D 61 01\nlp < 1B FF 0A\nusb: claim interface 0\n");
}

TEST(Hex, ParsesTheForms)
{
    EXPECT_EQ(parse_hex("AA BB cc"), (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(parse_hex("1d6101"), (Bytes{0x1D, 0x61, 0x01}));
    EXPECT_EQ(parse_hex(""), Bytes{});
    EXPECT_FALSE(parse_hex("ABC"));
    EXPECT_FALSE(parse_hex("GG"));
}

TEST(SerialSettings, DescribesTheLine)
{
    struct Case {
        tcflag_t cflag;
        speed_t speed;
        unsigned vmin, vtime;
        const char *expected;
    };
    const Case cases[] = {
        {CS8 | CREAD | CLOCAL | CRTSCTS, B115200, 0, 1,
         "speed=115200 data=8 parity=none stop=1 flow=rtscts vmin=0 vtime=1"},
        {CS7 | PARENB | CSTOPB, B9600, 1, 0,
         "speed=9600 data=7 parity=even stop=2 flow=none vmin=1 vtime=0"},
        {CS8 | PARENB | PARODD, B2400, 5, 20,
         "speed=2400 data=8 parity=odd stop=1 flow=none vmin=5 vtime=20"},
    };
    for (const auto &c : cases) {
        termios t{};
        t.c_cflag = c.cflag;
        cfsetospeed(&t, c.speed);
        cfsetispeed(&t, c.speed);
        t.c_cc[VMIN] = static_cast<cc_t>(c.vmin);
        t.c_cc[VTIME] = static_cast<cc_t>(c.vtime);
        EXPECT_EQ(describe(serial_settings_of(t)), c.expected);
    }
}

}  // namespace
}  // namespace orvy::sim
