#include "testbed.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "hex.h"
#include "records.h"
#include "usb_descriptors.h"

namespace orvy::sim {
namespace {

bool add_from_string(UMockdevTestbed *testbed, const std::string &description, std::string &error)
{
    GError *gerror = nullptr;
    if (umockdev_testbed_add_from_string(testbed, description.c_str(), &gerror)) return true;
    error = gerror ? gerror->message : "cannot add device";
    g_clear_error(&gerror);
    return false;
}

std::string hex_digits(const Bytes &bytes)
{
    std::string text = hex_line(bytes);
    std::erase(text, ' ');
    return text;
}

// Runs the client's ioctl on its own descriptor: a pty answers it as a
// serial port driver would. Reads and writes stay unhandled, so they go
// straight to the pty.
gboolean pass_ioctl_through(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer)
{
    int error = 0;
    GError *gerror = nullptr;
    const int result = umockdev_ioctl_client_execute(client, &error, &gerror);
    if (gerror) {
        g_clear_error(&gerror);
        umockdev_ioctl_client_complete(client, -1, EIO);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, result, result < 0 ? error : 0);
    return TRUE;
}

}  // namespace

std::unique_ptr<Testbed> Testbed::create(std::string &error)
{
    // umockdev 0.17.16's worker thread may read the environment while
    // testbed_new() changes it; a value already in place avoids the race.
    setenv("UMOCKDEV_DIR", "/nonexistent", 1);
    auto testbed = GRef<UMockdevTestbed>::adopt(umockdev_testbed_new());
    if (!testbed) {
        error = "cannot create the umockdev test bed";
        return nullptr;
    }
    return std::unique_ptr<Testbed>(new Testbed(std::move(testbed)));
}

std::string Testbed::root() const
{
    gchar *root = umockdev_testbed_get_root_dir(testbed_.get());
    std::string path = root ? root : "";
    g_free(root);
    return path;
}

bool Testbed::add_usb_printer(const UsbShape &shape, UMockdevIoctlBase *handler, std::string &error)
{
    GError *gerror = nullptr;
    // The socket must exist before the node does.
    if (!umockdev_testbed_attach_ioctl(testbed_.get(), kUsbNode, handler, &gerror)) {
        error = gerror ? gerror->message : "cannot attach the USB ioctl handler";
        g_clear_error(&gerror);
        return false;
    }
    char identity[256];
    std::snprintf(identity, sizeof identity,
                  "E: PRODUCT=%x/%x/173\n"
                  "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\nA: bcdDevice=0173\\n\n",
                  shape.vendor_id, shape.product_id, shape.vendor_id, shape.product_id);
    const std::string description =
        std::string("P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n"
                    "N: bus/usb/001/011\n"
                    "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
                    "E: DEVNAME=/dev/bus/usb/001/011\nE: BUSNUM=001\nE: DEVNUM=011\n"
                    "A: busnum=1\\n\nA: devnum=11\\n\nA: dev=189:10\\n\nA: devpath=1\\n\n"
                    "A: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n\n"
                    "A: bNumInterfaces= 1\\n\nA: bDeviceClass=00\\n\nA: bMaxPacketSize0=64\\n\n"
                    "A: speed=12\\n\nA: version= 2.00\\n\nA: maxchild=0\\n\n") +
        identity + "A: manufacturer=" + kManufacturer + "\\n\nA: product=" + kProductName +
        "\\n\nA: serial=" + kSerialNumber + "\\n\n" +
        "H: descriptors=" + hex_digits(all_descriptors(shape)) + "\n";
    return add_from_string(testbed_.get(), description, error);
}

bool Testbed::add_device_file(const char *name, std::string &error)
{
    const std::string node = name;
    std::string description;
    if (node == "usb/lp0") {
        description = "P: /devices/virtual/usbmisc/lp0\nN: usb/lp0\n"
                      "E: SUBSYSTEM=usbmisc\nE: DEVNAME=/dev/usb/lp0\nE: MAJOR=180\nE: MINOR=0\n"
                      "A: dev=180:0\\n\n";
    } else {
        description = "P: /devices/platform/serial8250/tty/ttyS1\nN: ttyS1\n"
                      "E: SUBSYSTEM=tty\nE: DEVNAME=/dev/ttyS1\nE: MAJOR=4\nE: MINOR=65\n"
                      "A: dev=4:65\\n\n";
    }
    if (!pass_through_) {
        pass_through_ = GRef<UMockdevIoctlBase>::adopt(umockdev_ioctl_base_new());
        g_signal_connect(pass_through_.get(), "handle-ioctl", G_CALLBACK(&pass_ioctl_through),
                         nullptr);
    }
    GError *gerror = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_.get(), ("/dev/" + node).c_str(),
                                       pass_through_.get(), &gerror)) {
        error = gerror ? gerror->message : "cannot attach an ioctl handler to /dev/" + node;
        g_clear_error(&gerror);
        return false;
    }
    return add_from_string(testbed_.get(), description, error);
}

int Testbed::pty_master(const char *devnode) const
{
    return umockdev_testbed_get_dev_fd(testbed_.get(), devnode);
}

void Testbed::set_usb_configuration(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u\n", value);
    umockdev_testbed_set_attribute(testbed_.get(), kUsbSysPath, "bConfigurationValue", text);
}

void Testbed::remove_usb_printer()
{
    umockdev_testbed_uevent(testbed_.get(), kUsbSysPath, "remove");
    umockdev_testbed_remove_device(testbed_.get(), kUsbSysPath);
}

}  // namespace orvy::sim
