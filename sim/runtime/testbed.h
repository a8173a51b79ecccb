// The umockdev test bed that holds the simulated devices: sysfs entries, the
// /dev nodes and the ioctl sockets that the preloaded library redirects to.
#pragma once

#include <umockdev.h>

#include <memory>
#include <string>

#include "bytes.h"
#include "gobject_ref.h"
#include "options.h"

namespace orvy::sim {

class Testbed {
public:
    // Creates the test bed root below $TMPDIR. Empty on failure.
    static std::unique_ptr<Testbed> create(std::string &error);

    UMockdevTestbed *get() const { return testbed_.get(); }
    std::string root() const;

    // The usbfs device at /dev/bus/usb/001/011; `handler` sees its ioctls.
    bool add_usb_printer(const UsbShape &shape, UMockdevIoctlBase *handler, std::string &error);
    // Printer-class device file and serial port; each becomes a pty.
    // Their ioctl() calls reach the pty (TIOCEXCL, FIONREAD, ...) instead
    // of umockdev's default answer ENOTTY.
    bool add_device_file(const char *name, std::string &error);
    // Master side of the pty of "/dev/usb/lp0" or "/dev/ttyS1", -1 if none.
    int pty_master(const char *devnode) const;

    void set_usb_configuration(unsigned value);
    // The printer leaves the bus: uevent "remove", then its sysfs and /dev entries go.
    void remove_usb_printer();

    static constexpr const char *kUsbNode = "/dev/bus/usb/001/011";
    static constexpr const char *kUsbSysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";

private:
    explicit Testbed(GRef<UMockdevTestbed> testbed) : testbed_(std::move(testbed)) {}

    GRef<UMockdevTestbed> testbed_;
    GRef<UMockdevIoctlBase> pass_through_;
};

}  // namespace orvy::sim
