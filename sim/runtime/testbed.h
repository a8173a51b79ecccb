// The umockdev test bed that holds the simulated devices: sysfs entries, the
// /dev nodes and the ioctl sockets that the preloaded library redirects to.
#pragma once

#include <umockdev.h>

#include <memory>
#include <set>
#include <string>

#include "bytes.h"
#include "gobject_ref.h"
#include "options.h"

namespace orvy::sim {

// Where a USB printer sits: the hub port fixes its sysfs path, the device
// address (new on every plug) its usbfs node.
struct UsbPlace {
    unsigned hub_port = 1;
    unsigned address = 11;
};

class Testbed {
public:
    // Creates the test bed root below $TMPDIR. Empty on failure.
    static std::unique_ptr<Testbed> create(std::string &error);

    UMockdevTestbed *get() const { return testbed_.get(); }
    std::string root() const;

    // The usbfs device at /dev/bus/usb/001/<address>, plugged into port
    // `place.hub_port` of bus 1, with its printer interface. Its ioctls go
    // to whoever listens at ioctl_socket_path() of its node.
    bool add_usb_printer(const UsbShape &shape, const UsbPlace &place, std::string &error);
    // Where umockdev's preload library sends the ioctls on `node`
    // ("/dev/bus/usb/001/011"); its directories are made.
    std::string ioctl_socket_path(const std::string &node) const;
    // Printer-class device file ("usb/lp0") or serial port ("ttyS1"); each
    // becomes a pty. Their ioctl() calls reach the pty (TIOCEXCL, FIONREAD,
    // ...) instead of umockdev's default answer ENOTTY. A printer-class file
    // of a USB printer (`usb_parent`) sits below its interface, as the
    // kernel's does.
    bool add_device_file(const std::string &name, const UsbPlace *usb_parent, std::string &error);
    // Master side of the pty of "/dev/usb/lp0" or "/dev/ttyS1", -1 if none.
    int pty_master(const std::string &devnode) const;

    void set_usb_configuration(const UsbPlace &place, unsigned value);
    // An attribute of the printer interface of the USB device at `place`.
    void set_interface_attribute(const UsbPlace &place, const char *name, const std::string &value);
    // The device leaves: uevent "remove", then its sysfs and /dev entries go.
    void remove_device(const std::string &sys_path);
    // After a pty device ("180:0") has gone: the kernel may give its pty
    // number to the next pty, which umockdev must be able to map.
    void drop_stale_pty_map(const std::string &device_number) const;

    static std::string usb_node(const UsbPlace &place);
    static std::string usb_sys_path(const UsbPlace &place);
    static std::string interface_sys_path(const UsbPlace &place);
    static std::string lp_sys_path(const UsbPlace &place, const std::string &name);

private:
    bool attach(const std::string &node, UMockdevIoctlBase *handler, std::string &error);
    void drop_stale_links(const std::string &subsystem, const std::string &name) const;

    explicit Testbed(GRef<UMockdevTestbed> testbed) : testbed_(std::move(testbed)) {}

    GRef<UMockdevTestbed> testbed_;
    GRef<UMockdevIoctlBase> pass_through_;
    std::set<std::string> attached_nodes_;
};

}  // namespace orvy::sim
