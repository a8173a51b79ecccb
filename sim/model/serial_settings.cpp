#include "serial_settings.h"

#include <cstdio>

namespace orvy::sim {
namespace {

unsigned long bits_per_second(speed_t code)
{
    struct Entry {
        speed_t code;
        unsigned long bps;
    };
    static const Entry kTable[] = {
        {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},
        {B134, 134},       {B150, 150},       {B200, 200},       {B300, 300},
        {B600, 600},       {B1200, 1200},     {B1800, 1800},     {B2400, 2400},
        {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
        {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
    };
    for (const auto &entry : kTable) {
        if (entry.code == code) return entry.bps;
    }
    return 0;
}

}  // namespace

SerialSettings serial_settings_of(const termios &attributes)
{
    SerialSettings s;
    s.speed = bits_per_second(cfgetospeed(&attributes));
    switch (attributes.c_cflag & CSIZE) {
    case CS5: s.data_bits = 5; break;
    case CS6: s.data_bits = 6; break;
    case CS7: s.data_bits = 7; break;
    default: s.data_bits = 8; break;
    }
    if (attributes.c_cflag & PARENB) {
        s.parity = (attributes.c_cflag & PARODD) ? 'o' : 'e';
    } else {
        s.parity = 'n';
    }
    s.stop_bits = (attributes.c_cflag & CSTOPB) ? 2 : 1;
    s.rtscts = (attributes.c_cflag & CRTSCTS) != 0;
    s.vmin = attributes.c_cc[VMIN];
    s.vtime = attributes.c_cc[VTIME];
    return s;
}

std::string describe(const SerialSettings &s)
{
    const char *parity = s.parity == 'e' ? "even" : s.parity == 'o' ? "odd" : "none";
    char text[160];
    std::snprintf(text, sizeof text, "speed=%lu data=%u parity=%s stop=%u flow=%s vmin=%u vtime=%u",
                  s.speed, s.data_bits, parity, s.stop_bits, s.rtscts ? "rtscts" : "none", s.vmin,
                  s.vtime);
    return text;
}

}  // namespace orvy::sim
