// The USB port's control side: interface claims, the kernel driver that may
// hold the interface, and the configuration.
#include <sys/ioctl.h>
// after sys/ioctl.h, which defines the _IO macros it uses
#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "usb_port.h"

namespace orvy::sim {

bool UsbPort::claimed_by_other(unsigned client) const
{
    return claimed_by_ != 0 && claimed_by_ != client && connected(claimed_by_);
}

int UsbPort::claim(unsigned client, unsigned interface)
{
    const std::string what = "claim interface " + std::to_string(interface);
    int result = 0;
    if (interface != 0) {
        result = -ENOENT;  // no such interface
    } else if (claimed_by_ == client) {
        result = 0;
    } else if (claimed_by_other(client) || kernel_driver_attached_) {
        result = -EBUSY;
    } else if (shared_.options.claim_always_busy || claim_refusals_left_ > 0) {
        if (claim_refusals_left_ > 0) --claim_refusals_left_;
        result = -EBUSY;
    } else {
        claimed_by_ = client;
    }
    shared_.transcript.event(shared_.usb_name.c_str(), result == 0 ? what : what + " refused");
    return result;
}

int UsbPort::release(unsigned client, unsigned interface)
{
    if (interface != 0 || claimed_by_ != client) return -EINVAL;
    claimed_by_ = 0;
    shared_.transcript.event(shared_.usb_name.c_str(), "release interface 0");
    return 0;
}

int UsbPort::get_driver(unsigned client, std::uint8_t *getdriver)
{
    unsigned interface = 0;
    std::memcpy(&interface, getdriver, sizeof interface);
    if (interface != 0) return -ENODATA;
    const char *driver = nullptr;
    if (kernel_driver_attached_) {
        driver = "usblp";
    } else if (claimed_by_ == client || claimed_by_other(client)) {
        driver = "usbfs";
    }
    if (!driver) return -ENODATA;
    std::strncpy(reinterpret_cast<char *>(getdriver) + offsetof(usbdevfs_getdriver, driver), driver,
                 USBDEVFS_MAXDRIVERNAME);
    return 0;
}

int UsbPort::usbfs_ioctl(const std::uint8_t *command)
{
    usbdevfs_ioctl header;
    std::memcpy(&header, command, sizeof header);
    if (header.ifno != 0) return -EINVAL;
    const std::string which = "kernel driver " + std::to_string(header.ifno);
    if (header.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        if (!kernel_driver_attached_) return -ENODATA;
        if (shared_.options.kernel_driver == KernelDriver::Stuck) {
            shared_.transcript.event(shared_.usb_name.c_str(), "detach " + which + " refused");
            return -EPERM;
        }
        kernel_driver_attached_ = false;
        shared_.transcript.event(shared_.usb_name.c_str(), "detach " + which);
        return 0;
    }
    if (header.ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
        if (shared_.options.kernel_driver == KernelDriver::None) return -ENODATA;
        if (claimed_by_other(0)) return -EBUSY;
        kernel_driver_attached_ = true;
        shared_.transcript.event(shared_.usb_name.c_str(), "attach " + which);
        return 0;
    }
    return -ENOTTY;
}

int UsbPort::set_configuration(unsigned value)
{
    if (value > 1) return -EINVAL;
    testbed_.set_usb_configuration(place_, value);
    shared_.transcript.event(shared_.usb_name.c_str(),
                             "set configuration " + std::to_string(value));
    return 0;
}

}  // namespace orvy::sim
