// Descriptors and standard control requests, at the offsets of the USB
// descriptor formats.
#include <gtest/gtest.h>

#include "usb_descriptors.h"

namespace orvy::sim {
namespace {

TEST(UsbIdentity, DeviceDescriptorCarriesTheFamilyIdentity)
{
    UsbShape shape;
    const Bytes d = device_descriptor(shape);
    ASSERT_EQ(d.size(), 18u);
    EXPECT_EQ(d[1], 0x01);
    EXPECT_EQ(d[8] | d[9] << 8, ORVY_USB_VENDOR_ID);
    EXPECT_EQ(d[10] | d[11] << 8, 1);
    EXPECT_EQ(d[17], 1) << "one configuration";
}

TEST(UsbIdentity, ConfigurationOneWithBulkInAndOut)
{
    struct Case {
        UsbShape shape;
        std::size_t total;
    };
    UsbShape plain, one_endpoint, two_alts, small_in;
    one_endpoint.endpoints = 1;
    two_alts.alt_settings = 2;
    small_in.in_packet_size = 8;
    const Case cases[] = {{plain, 32}, {one_endpoint, 25}, {two_alts, 55}, {small_in, 32}};
    for (const auto &c : cases) {
        const Bytes cfg = configuration_descriptor(c.shape);
        ASSERT_EQ(cfg.size(), c.total);
        EXPECT_EQ(cfg[2] | cfg[3] << 8, static_cast<int>(c.total)) << "wTotalLength";
        EXPECT_EQ(cfg[4], 1) << "one interface";
        EXPECT_EQ(cfg[5], 1) << "configuration value";
        // first interface descriptor, then its endpoints
        EXPECT_EQ(cfg[9 + 1], 0x04);
        EXPECT_EQ(cfg[9 + 2], 0) << "interface 0";
        EXPECT_EQ(cfg[9 + 4], c.shape.endpoints);
        EXPECT_EQ(cfg[9 + 5], 0x07) << "printer class";
        EXPECT_EQ(cfg[18 + 2], 0x81);
        EXPECT_EQ(cfg[18 + 3], 0x02) << "bulk";
        EXPECT_EQ(cfg[18 + 4] | cfg[18 + 5] << 8, static_cast<int>(c.shape.in_packet_size));
        if (c.shape.endpoints == 2) {
            EXPECT_EQ(cfg[25 + 2], 0x02);
            EXPECT_EQ(cfg[25 + 4] | cfg[25 + 5] << 8, 64);
        }
        if (c.shape.alt_settings == 2) {
            EXPECT_EQ(cfg[32 + 1], 0x04);
            EXPECT_EQ(cfg[32 + 2], 0) << "still interface 0";
            EXPECT_EQ(cfg[32 + 3], 1) << "alternate setting 1";
        }
    }
}

TEST(UsbIdentity, ControlRequests)
{
    UsbShape shape;
    const auto request = [&](std::uint8_t type, std::uint8_t req, std::uint16_t value,
                             std::uint16_t length) {
        return answer_control_request({type, req, value, 0x0409, length}, shape);
    };
    EXPECT_EQ(request(0x80, 0x06, 0x0100, 18), device_descriptor(shape));
    EXPECT_EQ(request(0x80, 0x06, 0x0200, 9)->size(), 9u) << "cut to wLength";
    EXPECT_EQ(*request(0x80, 0x06, 0x0300, 255), (Bytes{4, 0x03, 0x09, 0x04}));
    const Bytes product = *request(0x80, 0x06, 0x0302, 255);
    EXPECT_EQ(product[1], 0x03);
    EXPECT_EQ(product[0], product.size());
    EXPECT_EQ(product[2], 'O');
    EXPECT_EQ(*request(0x80, 0x00, 0, 2), (Bytes{1, 0})) << "self powered";
    EXPECT_FALSE(request(0x80, 0x06, 0x0600, 10)) << "no qualifier: stall";
    EXPECT_FALSE(request(0x80, 0x06, 0x0309, 255)) << "no such string";
}

}  // namespace
}  // namespace orvy::sim
