// Failures that neither libusb nor the simulated printer produce on demand,
// reached through the transport's test seams: libusb_init failing, no
// memory, a device that cannot be opened, unreadable or empty descriptors.
// Tests that need the printer run themselves again, in a child process under
// the simulator, with the seam in place there.
#include <gtest/gtest.h>
#include <libusb.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "Orvy_Api.h"
#include "usb_scenario.h"
#include "usb_seams.h"

namespace orvy::api::test {
namespace {

int init_calls = 0;
int exit_calls = 0;

int refuse_init(libusb_context **)
{
    ++init_calls;
    return LIBUSB_ERROR_NO_MEM;
}
void count_exit(libusb_context *context)
{
    ++exit_calls;
    libusb_exit(context);
}
void *refuse_memory(std::size_t) { return nullptr; }
int refuse_open(libusb_device *, libusb_device_handle **) { return LIBUSB_ERROR_ACCESS; }
int refuse_config(libusb_device *, libusb_config_descriptor **) { return LIBUSB_ERROR_IO; }

// libusb_free_config_descriptor frees the interface array and the record
// with free(), so descriptors made with calloc can go back through it.
int config_without_interfaces(libusb_device *, libusb_config_descriptor **config)
{
    *config = static_cast<libusb_config_descriptor *>(std::calloc(1, sizeof **config));
    (*config)->bConfigurationValue = 1;
    return 0;
}
int config_without_alternate_settings(libusb_device *device, libusb_config_descriptor **config)
{
    config_without_interfaces(device, config);
    (*config)->bNumInterfaces = 1;
    (*config)->interface =
        static_cast<libusb_interface *>(std::calloc(1, sizeof(libusb_interface)));
    return 0;
}

// A printer that takes at most four bytes per transfer and lets the rest
// time out: libusb then reports the time-out together with the four bytes.
int transfer_four_bytes_then_time_out(libusb_device_handle *handle, unsigned char endpoint,
                                      unsigned char *data, int length, int *transferred,
                                      unsigned int timeout_ms)
{
    if ((endpoint & LIBUSB_ENDPOINT_IN) != 0) {
        return libusb_bulk_transfer(handle, endpoint, data, length, transferred, timeout_ms);
    }
    const int result =
        libusb_bulk_transfer(handle, endpoint, data, std::min(length, 4), transferred, timeout_ms);
    return result == 0 && length > 4 ? LIBUSB_ERROR_TIMEOUT : result;
}

intptr_t open_port(std::string port) { return orvy_api_printer_open(port.data()); }

bool in_simulator_child() { return std::getenv("ORVY_USB_SEAM_CHILD") != nullptr; }

// Runs the current test again in a child process under the simulator.
UsbScenario run_this_test_under_simulator(const std::vector<std::string> &sim_options)
{
    char self[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    UsbScenario scenario;
    scenario.run = orvy::test::run_under_simulator(
        sim_options,
        {"/usr/bin/env", "ORVY_USB_SEAM_CHILD=1",
         std::string(self, length > 0 ? static_cast<std::size_t>(length) : 0), filter});
    return scenario;
}

class UsbSeams : public ::testing::Test {
protected:
    void SetUp() override
    {
        init_calls = 0;
        exit_calls = 0;
        usb_seams::exit_session = count_exit;
    }
    void TearDown() override { usb_seams::restore_all(); }
};

TEST_F(UsbSeams, LibusbThatCannotStartGivesMinus1AndReleasesNothing)
{
    usb_seams::init_session = refuse_init;
    EXPECT_EQ(open_port(kUsbPort), -1);
    EXPECT_EQ(init_calls, 1);
    EXPECT_EQ(exit_calls, 0) << "libusb_exit without a session of our own";
    EXPECT_EQ(m_pub_rx_buffer, nullptr);
    EXPECT_EQ(communication, 2);
}

TEST_F(UsbSeams, ABusPathWithoutAddressNeverStartsLibusb)
{
    usb_seams::init_session = refuse_init;
    for (const char *port : {"/dev/bus/usb/001", "/dev/bus/usb//001/", "/dev/bus/usb/"}) {
        EXPECT_EQ(open_port(port), -2) << port;
    }
    EXPECT_EQ(init_calls, 0);
}

TEST_F(UsbSeams, RingStorageThatCannotBeHadGivesMinus8)
{
    if (!in_simulator_child()) {
        const auto s = run_this_test_under_simulator({});
        ORVY_EXPECT_CLEAN_EXIT(s);
        // The failed open gave the interface back, so the next open gets it.
        EXPECT_EQ(s.log_count("usb: claim interface 0"), 2u);
        EXPECT_EQ(s.log_count("usb: release interface 0"), 2u);
        return;
    }
    usb_seams::allocate = refuse_memory;
    EXPECT_EQ(open_port(kUsbPort), -8);
    EXPECT_EQ(exit_calls, 1);
    EXPECT_EQ(m_pub_rx_buffer, nullptr);

    usb_seams::restore_all();
    const intptr_t printer = open_port(kUsbPort);
    ASSERT_GT(printer, 0);
    orvy_api_printer_close(printer);
}

TEST_F(UsbSeams, ReadWithoutScratchMemoryGivesMinus1AndLosesNothing)
{
    if (!in_simulator_child()) {
        const auto s = run_this_test_under_simulator({"--split", "4,14"});
        ORVY_EXPECT_CLEAN_EXIT(s);
        return;
    }
    const intptr_t printer = open_port(kUsbPort);
    ASSERT_GT(printer, 0);
    unsigned char inquiry[] = {0x1D, 0x61, 0x01};
    ASSERT_EQ(orvy_api_printer_write(printer, inquiry, 3, 1000), 3);
    unsigned char header[4] = {};
    usb_seams::allocate = refuse_memory;
    EXPECT_EQ(orvy_api_printer_read(printer, header, 4, 1000), -1);
    usb_seams::restore_all();
    EXPECT_EQ(orvy_api_printer_read(printer, header, 4, 1000), 4);
    EXPECT_EQ(std::vector<unsigned char>(header, header + 4),
              (std::vector<unsigned char>{0x1B, 0xFF, 0x02, 0x0E}));
    orvy_api_printer_close(printer);
}

// Each failure after libusb_open gives everything back: the session ends
// once, and the device can be opened again at once.
TEST_F(UsbSeams, FailuresAfterTheDeviceWasFoundReleaseIt)
{
    if (!in_simulator_child()) {
        const auto s = run_this_test_under_simulator({});
        ORVY_EXPECT_CLEAN_EXIT(s);
        EXPECT_EQ(s.log_count("usb: claim interface 0"), 1u) << "only the last open claims";
        EXPECT_EQ(s.log_count("usb: release interface 0"), 1u);
        return;
    }
    struct Failure {
        const char *name;
        int (*open_device)(libusb_device *, libusb_device_handle **);
        int (*read_active_config)(libusb_device *, libusb_config_descriptor **);
        intptr_t expected;
    };
    const Failure failures[] = {
        {"device cannot be opened", refuse_open, libusb_get_active_config_descriptor, -1},
        {"configuration unreadable", libusb_open, refuse_config, -5},
        {"no interface", libusb_open, config_without_interfaces, -6},
        {"no alternate setting", libusb_open, config_without_alternate_settings, -6},
    };
    for (const auto &failure : failures) {
        exit_calls = 0;
        usb_seams::open_device = failure.open_device;
        usb_seams::read_active_config = failure.read_active_config;
        EXPECT_EQ(open_port(kUsbPort), failure.expected) << failure.name;
        EXPECT_EQ(exit_calls, 1) << failure.name;
        EXPECT_EQ(m_pub_rx_buffer, nullptr) << failure.name;
    }
    usb_seams::restore_all();
    const intptr_t printer = open_port(kUsbPort);
    ASSERT_GT(printer, 0);
    orvy_api_printer_close(printer);
}

// Every pass must go on from the last byte moved, also after a pass that
// failed part-way, or the printer prints bytes twice.
TEST_F(UsbSeams, WritesGoOnAfterTransfersThatTimedOutPartWay)
{
    if (!in_simulator_child()) {
        const auto s = run_this_test_under_simulator({});
        ORVY_EXPECT_CLEAN_EXIT(s);
        EXPECT_EQ(s.sent(), "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E");
        EXPECT_TRUE(s.log_has("usb > 0D 0E"));
        return;
    }
    const intptr_t printer = open_port(kUsbPort);
    ASSERT_GT(printer, 0);
    usb_seams::bulk_transfer = transfer_four_bytes_then_time_out;
    unsigned char data[14];
    for (int i = 0; i < 14; ++i) data[i] = static_cast<unsigned char>(i + 1);
    EXPECT_EQ(orvy_api_printer_write(printer, data, 14, 2000), 14);
    orvy_api_printer_close(printer);
}

TEST_F(UsbSeams, AnUnreadableConfigurationIsReported)
{
    if (!in_simulator_child()) {
        const auto s = run_this_test_under_simulator({});
        ORVY_EXPECT_CLEAN_EXIT(s);
        EXPECT_TRUE(s.out_has(" Active config Error  ")) << s.run.out;
        return;
    }
    usb_seams::read_active_config = refuse_config;
    DEBUG_MESSAGES = 1;
    EXPECT_EQ(open_port(kUsbPort), -5);
    DEBUG_MESSAGES = 0;
}

}  // namespace
}  // namespace orvy::api::test
