// Serial line settings, read back from the far end of a pty.
#include <gtest/gtest.h>

#include <climits>
#include <ostream>

#include "Orvy_Api.h"
#include "device_file_pty.h"
#include "serial_settings.h"

namespace {

using orvy::test::PtyPair;

struct SettingsCase {
    const char *name;
    unsigned long baud_rate;
    unsigned char data_bits;
    unsigned char parity;
    unsigned char stop_bits;
    speed_t speed;
    tcflag_t line_flags;  // parity and stop bits
};
void PrintTo(const SettingsCase &c, std::ostream *out) { *out << c.name; }

const tcflag_t kAlways = CRTSCTS | CLOCAL | CREAD | CS8;

const SettingsCase kSettingsCases[] = {
    {"AsOpenSetsThem", 115200, 8, 'n', 1, B115200, 0},
    {"Speed2400", 2400, 8, 'n', 1, B2400, 0},
    {"Speed4800", 4800, 8, 'n', 1, B4800, 0},
    {"Speed9600", 9600, 8, 'n', 1, B9600, 0},
    {"Speed19200", 19200, 8, 'n', 1, B19200, 0},
    {"Speed38400", 38400, 8, 'n', 1, B38400, 0},
    {"Speed57600", 57600, 8, 'n', 1, B57600, 0},
    {"UnlistedSpeed1200FallsBack", 1200, 8, 'n', 1, B115200, 0},
    {"SpeedZeroFallsBack", 0, 8, 'n', 1, B115200, 0},
    {"SevenDataBitsStillEight", 9600, 7, 'n', 1, B9600, 0},
    {"ParityUpperN", 115200, 8, 'N', 1, B115200, 0},
    {"ParityZero", 115200, 8, 0, 1, B115200, 0},
    {"ParityLowerE", 115200, 8, 'e', 1, B115200, PARENB},
    {"ParityUpperE", 115200, 8, 'E', 1, B115200, PARENB},
    {"ParityLowerO", 115200, 8, 'o', 1, B115200, PARENB | PARODD},
    {"ParityUpperO", 115200, 8, 'O', 1, B115200, PARENB | PARODD},
    {"UnlistedParityGivesNone", 115200, 8, 'x', 1, B115200, 0},
    {"StopBitsZero", 115200, 8, 'n', 0, B115200, 0},
    {"StopBitsTwo", 115200, 8, 'n', 2, B115200, CSTOPB},
    {"StopBitsThree", 115200, 8, 'n', 3, B115200, 0},
    {"EvenParityTwoStops", 19200, 8, 'E', 2, B19200, PARENB | CSTOPB},
};

class SerialSettings : public ::testing::TestWithParam<SettingsCase> {
protected:
    void SetUp() override
    {
        communication = 1;
        // Start from settings the call must not keep: echo, signals, odd parity, 300 baud
        // (non-canonical, so that pending bytes are readable at once).
        pty_.make_slave_raw();
        struct termios noisy {};
        ::tcgetattr(pty_.slave(), &noisy);
        noisy.c_lflag |= ECHO | ISIG;
        noisy.c_oflag |= OPOST | ONLCR;
        noisy.c_iflag |= ICRNL | IXON;
        noisy.c_cflag |= PARENB | PARODD | CSTOPB;
        noisy.c_cc[VMIN] = 5;
        noisy.c_cc[VTIME] = 9;
        ::cfsetspeed(&noisy, B300);
        ::tcsetattr(pty_.slave(), TCSANOW, &noisy);
    }
    void TearDown() override { communication = 0; }

    PtyPair pty_;
};

TEST_P(SerialSettings, BuildsTheLineSettingsFromNothingAndDiscardsPendingInput)
{
    const auto &c = GetParam();
    pty_.send({0xAA, 0xBB, 0xCC});
    ASSERT_TRUE(pty_.slave_has_input());

    EXPECT_EQ(orvy_api_printer_set_serial(pty_.slave(), c.baud_rate, c.data_bits, c.parity,
                                          c.stop_bits),
              1);

    // The record as built: a pty keeps every flag but PARENB, which it clears.
    const struct termios built = orvy::api::serial_settings_for(c.baud_rate, c.parity, c.stop_bits);
    EXPECT_EQ(built.c_cflag, kAlways | c.speed | c.line_flags);

    struct termios now {};
    ASSERT_EQ(::tcgetattr(pty_.slave(), &now), 0);
    EXPECT_EQ(now.c_cflag, (kAlways | c.speed | c.line_flags) & ~static_cast<tcflag_t>(PARENB));
    EXPECT_EQ(now.c_iflag, static_cast<tcflag_t>(IGNPAR));
    EXPECT_EQ(now.c_oflag, 0u);
    EXPECT_EQ(now.c_lflag, 0u);
    EXPECT_EQ(now.c_cc[VTIME], 1);
    EXPECT_EQ(now.c_cc[VMIN], 0);
    EXPECT_EQ(::cfgetispeed(&now), c.speed);
    EXPECT_EQ(::cfgetospeed(&now), c.speed);
    EXPECT_EQ(pty_.slave_input_count(), 0) << "pending input must be discarded";
}

INSTANTIATE_TEST_SUITE_P(Table, SerialSettings, ::testing::ValuesIn(kSettingsCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Calls that must leave the port alone, and their results.
struct UntouchedCase {
    const char *name;
    int mode;
    bool far_handle;  // the descriptor plus 2^32: no descriptor at all
    bool negative;
    int result;
};
void PrintTo(const UntouchedCase &c, std::ostream *out) { *out << c.name; }

const UntouchedCase kUntouchedCases[] = {
    {"NegativeHandle", 1, false, true, 0},
    {"UsbBulkTransport", 2, false, false, 1},
    {"NoTransportChosen", 0, false, false, 1},
    {"HandleAboveIntMax", 1, true, false, 1},
};

class SerialSettingsUntouched : public ::testing::TestWithParam<UntouchedCase> {
protected:
    void TearDown() override { communication = 0; }
    PtyPair pty_;
};

TEST_P(SerialSettingsUntouched, LeavesThePortAsItWas)
{
    const auto &c = GetParam();
    pty_.make_slave_raw();
    struct termios before {};
    ::tcgetattr(pty_.slave(), &before);
    pty_.send({0x01, 0x02});
    ASSERT_TRUE(pty_.slave_has_input());

    communication = c.mode;
    intptr_t handle = pty_.slave();
    if (c.far_handle) handle += static_cast<intptr_t>(1) << 32;
    if (c.negative) handle = -1;
    EXPECT_EQ(orvy_api_printer_set_serial(handle, 9600, 8, 'E', 2), c.result);

    struct termios after {};
    ::tcgetattr(pty_.slave(), &after);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
    EXPECT_EQ(pty_.slave_input_count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Table, SerialSettingsUntouched, ::testing::ValuesIn(kUntouchedCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(SerialSettingsOnNoTerminal, StillReportsOne)
{
    communication = 1;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    EXPECT_EQ(orvy_api_printer_set_serial(fds[1], 115200, 8, 'n', 1), 1);
    ::close(fds[0]);
    ::close(fds[1]);
    communication = 0;
}

}  // namespace
