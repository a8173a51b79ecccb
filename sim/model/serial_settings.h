// The serial line settings that a client put on the port, as the transcript
// reports them.
#pragma once

#include <termios.h>

#include <string>

namespace orvy::sim {

struct SerialSettings {
    unsigned long speed = 0;  // bits per second, 0 when the code is not a known speed
    unsigned data_bits = 8;
    char parity = 'n';  // 'n', 'e' or 'o'
    unsigned stop_bits = 1;
    bool rtscts = false;
    unsigned vmin = 0;
    unsigned vtime = 0;

    bool operator==(const SerialSettings &) const = default;
};

SerialSettings serial_settings_of(const termios &attributes);

// "speed=115200 data=8 parity=none stop=1 flow=rtscts vmin=0 vtime=1"
std::string describe(const SerialSettings &settings);

}  // namespace orvy::sim
