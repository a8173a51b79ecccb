// Bus number and device address from usbfs path names.
#include <gtest/gtest.h>

#include <climits>

#include "usb_bus_path.h"

namespace orvy::api {
namespace {

struct PathCase {
    const char *port;
    bool found;
    int bus;
    int address;
};

TEST(UsbBusPath, ComponentsFourAndFiveAreReadLikeAtoi)
{
    const PathCase cases[] = {
        {"/dev/bus/usb/001/011", true, 1, 11},
        {"/dev/bus/usb//001//011", true, 1, 11},
        {"//dev///bus/usb/001/011/", true, 1, 11},
        {"/dev/bus/usb/001/011/extra/more", true, 1, 11},
        {"dev/bus/usb/2/3", true, 2, 3},
        {"/dev/bus/usb/x1/011", true, 0, 11},
        {"/dev/bus/usb/12abc/ 7", true, 12, 7},
        {"/dev/bus/usb/+4/-5", true, 4, -5},
        {"/dev/bus/usb/99999999999/1", true, INT_MAX, 1},
        {"/dev/bus/usb/001", false, 0, 0},
        {"/dev/bus/usb/001/", false, 0, 0},
        {"/dev/bus/usb/", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const auto &c : cases) {
        const auto where = parse_usb_bus_path(c.port);
        ASSERT_EQ(where.has_value(), c.found) << c.port;
        if (!where) continue;
        EXPECT_EQ(where->bus, c.bus) << c.port;
        EXPECT_EQ(where->address, c.address) << c.port;
    }
}

}  // namespace
}  // namespace orvy::api
