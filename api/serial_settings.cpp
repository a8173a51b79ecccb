// Line settings of a printer on a serial port: raw 8-bit, RTS/CTS, 1/10 s read time-out.
#include "serial_settings.h"

namespace orvy::api {
namespace {

struct SpeedCode {
    unsigned long baud_rate;
    speed_t code;
};

constexpr SpeedCode kSpeeds[] = {
    {2400, B2400},   {4800, B4800},   {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200},
};

// Unlisted speeds fall back to the printer's own speed.
speed_t speed_code_for(unsigned long baud_rate)
{
    for (const auto &speed : kSpeeds) {
        if (speed.baud_rate == baud_rate) return speed.code;
    }
    return B115200;
}

tcflag_t parity_flags_for(unsigned char parity)
{
    switch (parity) {
    case 'E':
    case 'e': return PARENB;
    case 'O':
    case 'o': return PARENB | PARODD;
    default: return 0;
    }
}

}  // namespace

// Built from nothing: none of the port's earlier attributes carry over.
struct termios serial_settings_for(unsigned long baud_rate, unsigned char parity,
                                   unsigned char stop_bits)
{
    struct termios settings {};
    const speed_t speed = speed_code_for(baud_rate);
    settings.c_iflag = IGNPAR;
    settings.c_oflag = 0;
    settings.c_cflag = CRTSCTS | CLOCAL | CREAD | CS8 | speed | parity_flags_for(parity);
    if (stop_bits == 2) settings.c_cflag |= CSTOPB;
    settings.c_lflag = 0;
    settings.c_cc[VTIME] = 1;
    settings.c_cc[VMIN] = 0;
    (void)cfsetispeed(&settings, speed);
    (void)cfsetospeed(&settings, speed);
    return settings;
}

void apply_serial_settings(int fd, unsigned long baud_rate, unsigned char parity,
                           unsigned char stop_bits)
{
    const struct termios settings = serial_settings_for(baud_rate, parity, stop_bits);
    // Neither result is reported: on a device file that is no terminal both fail harmlessly.
    (void)tcflush(fd, TCIFLUSH);
    (void)tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace orvy::api
