// The terminal attributes that orvy_api_printer_set_serial and the open of a
// serial port give a port.
#pragma once

#include <termios.h>

namespace orvy::api {

// Raw 8-bit line with RTS/CTS at the given speed, parity and stop bits; a
// read returns as soon as a byte is there, or empty after 1/10 s.
struct termios serial_settings_for(unsigned long baud_rate, unsigned char parity,
                                   unsigned char stop_bits);

// Drops pending input and puts those settings into effect at once.
void apply_serial_settings(int fd, unsigned long baud_rate, unsigned char parity,
                           unsigned char stop_bits);

}  // namespace orvy::api
