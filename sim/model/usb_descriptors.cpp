#include "usb_descriptors.h"

#include "records.h"

namespace orvy::sim {
namespace {

void put16(Bytes &bytes, std::uint16_t value)
{
    bytes.push_back(value & 0xFF);
    bytes.push_back(value >> 8);
}

void endpoint(Bytes &bytes, std::uint8_t address, unsigned max_packet)
{
    bytes.insert(bytes.end(), {7, 0x05, address, 0x02 /* bulk */});
    put16(bytes, static_cast<std::uint16_t>(max_packet));
    bytes.push_back(0);
}

constexpr std::uint8_t kStringManufacturer = 1;
constexpr std::uint8_t kStringProduct = 2;
constexpr std::uint8_t kStringSerial = 3;

}  // namespace

Bytes device_descriptor(const UsbShape &shape)
{
    Bytes d{18, 0x01};
    put16(d, 0x0200);                           // USB 2.0
    d.insert(d.end(), {0x00, 0x00, 0x00, 64});  // class per interface; EP0 packets of 64
    put16(d, shape.vendor_id);
    put16(d, shape.product_id);
    put16(d, 0x0173);  // device release = firmware 1.7.3
    d.insert(d.end(), {kStringManufacturer, kStringProduct, kStringSerial, 1});
    return d;
}

Bytes configuration_descriptor(const UsbShape &shape)
{
    Bytes c{9, 0x02, 0, 0, 1 /* interfaces */, 1 /* value */, 0, 0xC0 /* self powered */,
            50 /* 100 mA */};
    for (unsigned alt = 0; alt < shape.alt_settings; ++alt) {
        // Printer class, bidirectional protocol.
        c.insert(c.end(), {9, 0x04, 0, static_cast<std::uint8_t>(alt),
                           static_cast<std::uint8_t>(shape.endpoints), 0x07, 0x01, 0x02, 0});
        endpoint(c, kBulkIn, shape.in_packet_size);
        if (shape.endpoints > 1) endpoint(c, kBulkOut, shape.out_packet_size);
    }
    c[2] = c.size() & 0xFF;
    c[3] = static_cast<std::uint8_t>(c.size() >> 8);
    return c;
}

Bytes string_descriptor(std::string_view ascii)
{
    Bytes s{static_cast<std::uint8_t>(2 + 2 * ascii.size()), 0x03};
    for (char c : ascii) put16(s, static_cast<std::uint8_t>(c));
    return s;
}

SetupPacket setup_packet_of(const std::uint8_t b[8])
{
    return {b[0], b[1], static_cast<std::uint16_t>(b[2] | b[3] << 8),
            static_cast<std::uint16_t>(b[4] | b[5] << 8),
            static_cast<std::uint16_t>(b[6] | b[7] << 8)};
}

std::optional<Bytes> answer_control_request(const SetupPacket &setup, const UsbShape &shape)
{
    constexpr std::uint8_t kGetStatus = 0x00;
    constexpr std::uint8_t kGetDescriptor = 0x06;
    constexpr std::uint8_t kGetConfiguration = 0x08;
    std::optional<Bytes> data;
    if (setup.request_type == 0x80 && setup.request == kGetDescriptor) {
        const std::uint8_t index = setup.value & 0xFF;
        switch (setup.value >> 8) {
        case 0x01: data = device_descriptor(shape); break;
        case 0x02:
            if (index == 0) data = configuration_descriptor(shape);
            break;
        case 0x03:
            if (index == 0) {
                data = Bytes{4, 0x03, 0x09, 0x04};  // English (US)
            } else if (index == kStringManufacturer) {
                data = string_descriptor(kManufacturer);
            } else if (index == kStringProduct) {
                data = string_descriptor(kProductName);
            } else if (index == kStringSerial) {
                data = string_descriptor(shape.serial_number);
            }
            break;
        }
    } else if ((setup.request_type & 0x9F) == 0x80 && setup.request == kGetStatus) {
        // Self powered device; interfaces and endpoints report 0.
        data = Bytes{static_cast<std::uint8_t>(setup.request_type == 0x80 ? 1 : 0), 0};
    } else if (setup.request_type == 0x80 && setup.request == kGetConfiguration) {
        data = Bytes{1};
    }
    if (data && data->size() > setup.length) data->resize(setup.length);
    return data;
}

}  // namespace orvy::sim
