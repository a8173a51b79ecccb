// The printer's USB descriptors and its answers to standard control requests.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "bytes.h"
#include "options.h"

namespace orvy::sim {

inline constexpr std::uint8_t kBulkIn = 0x81;
inline constexpr std::uint8_t kBulkOut = 0x02;

Bytes device_descriptor(const UsbShape &shape);
// Configuration 1 with its interface, alternate settings and endpoints.
Bytes configuration_descriptor(const UsbShape &shape);
// Device then configuration descriptor, as sysfs "descriptors" holds them.
inline Bytes all_descriptors(const UsbShape &shape)
{
    Bytes bytes = device_descriptor(shape);
    const Bytes config = configuration_descriptor(shape);
    bytes.insert(bytes.end(), config.begin(), config.end());
    return bytes;
}

Bytes string_descriptor(std::string_view ascii);

struct SetupPacket {
    std::uint8_t request_type;
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
    std::uint16_t length;
};
SetupPacket setup_packet_of(const std::uint8_t bytes[8]);

// Data stage of a standard request, cut to the requested length; nothing
// for a request that the device stalls.
std::optional<Bytes> answer_control_request(const SetupPacket &setup, const UsbShape &shape);

}  // namespace orvy::sim
