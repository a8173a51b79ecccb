// The USB printer class's own requests: the IEEE 1284 device ID that hosts
// (the kernel's usblp, print spoolers) ask every printer for, the port
// status byte, and the soft reset.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bytes.h"
#include "options.h"
#include "usb_descriptors.h"

namespace orvy::sim {

inline constexpr std::uint8_t kGetDeviceId = 0;
inline constexpr std::uint8_t kGetPortStatus = 1;
inline constexpr std::uint8_t kSoftReset = 2;

// Port status bits, as usblp reads them (LP_POUTPA, LP_PSELECD, LP_PERRORP).
inline constexpr std::uint8_t kPortPaperEmpty = 0x20;
inline constexpr std::uint8_t kPortSelected = 0x10;
inline constexpr std::uint8_t kPortNoError = 0x08;

// "MFG:...;MDL:...;CMD:...;CLS:PRINTER;SN:...;" without its length prefix;
// the text that usblp shows in sysfs as `ieee1284_id`.
std::string device_id(const UsbShape &shape);

// True for a class request to the printer interface or to "other", which
// answer_printer_class_request() decides on.
bool is_printer_class_request(const SetupPacket &setup);

// Data stage of a class IN request, cut to wLength: the device ID with its
// two-byte big-endian length (which counts itself), or the port status
// byte. Nothing for a request that the printer stalls; an empty answer for
// an accepted OUT request (the soft reset).
std::optional<Bytes> answer_printer_class_request(const SetupPacket &setup, const UsbShape &shape,
                                                  bool paper_empty);

}  // namespace orvy::sim
