#include "testbed.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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

// Device numbers as the serial drivers give them: ttyS<N> 4:64+N, ttyUSB<N>
// 188:N, ttyACM<N> 166:N.
std::string tty_numbers(const std::string &name)
{
    unsigned major = 4, base = 64;
    std::size_t digits = name.find_first_of("0123456789");
    const std::string kind = name.substr(0, digits);
    if (kind == "ttyUSB") major = 188, base = 0;
    if (kind == "ttyACM") major = 166, base = 0;
    const unsigned number =
        digits == std::string::npos ? 1 : static_cast<unsigned>(std::atoi(name.c_str() + digits));
    const std::string minor = std::to_string(base + number);
    return "E: MAJOR=" + std::to_string(major) + "\nE: MINOR=" + minor +
           "\nA: dev=" + std::to_string(major) + ":" + minor + "\\n\n";
}

}  // namespace

// umockdev leaves a removed device's links in /sys/bus and /sys/class
// behind, and refuses to add a device of the same name while they are there.
void Testbed::drop_stale_links(const std::string &subsystem, const std::string &name) const
{
    for (const std::string &link : {root() + "/sys/bus/" + subsystem + "/devices/" + name,
                                    root() + "/sys/class/" + subsystem + "/" + name}) {
        struct stat st {};
        if (lstat(link.c_str(), &st) == 0 && stat(link.c_str(), &st) != 0) unlink(link.c_str());
    }
}

void Testbed::drop_stale_pty_map(const std::string &device_number) const
{
    const std::string dir = root() + "/dev/.ptymap";
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(dir, error)) {
        std::error_code link_error;
        std::string target = std::filesystem::read_symlink(entry.path(), link_error).string();
        // The target is the device's "dev" attribute, line break included.
        while (!target.empty() && target.back() == '\n') target.pop_back();
        if (target == device_number) std::filesystem::remove(entry.path(), link_error);
    }
}

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

std::string Testbed::usb_node(const UsbPlace &place)
{
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03u", place.address);
    return node;
}

std::string Testbed::usb_sys_path(const UsbPlace &place)
{
    return "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(place.hub_port);
}

std::string Testbed::interface_sys_path(const UsbPlace &place)
{
    return usb_sys_path(place) + "/1-" + std::to_string(place.hub_port) + ":1.0";
}

std::string Testbed::lp_sys_path(const UsbPlace &place, const std::string &name)
{
    return interface_sys_path(place) + "/usbmisc/" + name;
}

bool Testbed::attach(const std::string &node, UMockdevIoctlBase *handler, std::string &error)
{
    // umockdev keeps a node's handler after the node is gone; a device that
    // comes back under the same name reuses it.
    if (attached_nodes_.count(node) > 0) return true;
    GError *gerror = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_.get(), node.c_str(), handler, &gerror)) {
        error = gerror ? gerror->message : "cannot attach an ioctl handler to " + node;
        g_clear_error(&gerror);
        return false;
    }
    attached_nodes_.insert(node);
    return true;
}

std::string Testbed::ioctl_socket_path(const std::string &node) const
{
    const std::filesystem::path path = root() + "/ioctl" + node;
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    return path.string();
}

bool Testbed::add_usb_printer(const UsbShape &shape, const UsbPlace &place, std::string &error)
{
    const std::string node = usb_node(place);
    const std::string sys = usb_sys_path(place).substr(std::strlen("/sys"));
    char identity[512];
    std::snprintf(identity, sizeof identity,
                  "P: %s\nN: %s\n"
                  "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
                  "E: DEVNAME=%s\nE: BUSNUM=001\nE: DEVNUM=%03u\n"
                  "A: busnum=1\\n\nA: devnum=%u\\n\nA: dev=189:%u\\n\nA: devpath=%u\\n\n"
                  "E: PRODUCT=%x/%x/173\n"
                  "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\nA: bcdDevice=0173\\n\n",
                  sys.c_str(), node.c_str() + std::strlen("/dev/"), node.c_str(), place.address,
                  place.address, place.address - 1, place.hub_port, shape.vendor_id,
                  shape.product_id, shape.vendor_id, shape.product_id);
    const std::string description =
        std::string(identity) +
        "A: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n\n"
        "A: bNumInterfaces= 1\\n\nA: bDeviceClass=00\\n\nA: bMaxPacketSize0=64\\n\n"
        "A: speed=12\\n\nA: version= 2.00\\n\nA: maxchild=0\\n\n"
        "A: manufacturer=" +
        kManufacturer + "\\n\nA: product=" + kProductName +
        "\\n\nA: serial=" + shape.serial_number + "\\n\n" +
        "H: descriptors=" + hex_digits(all_descriptors(shape)) + "\n";
    const std::string port = std::to_string(place.hub_port);
    drop_stale_links("usb", "1-" + port);
    drop_stale_links("usb", "1-" + port + ":1.0");
    if (!add_from_string(testbed_.get(), description, error)) return false;
    const std::string interface = "P: " + sys + "/1-" + port + ":1.0\n" +
                                  "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
                                  "A: bInterfaceNumber=00\\n\nA: bInterfaceClass=07\\n\n"
                                  "A: bInterfaceSubClass=01\\n\nA: bInterfaceProtocol=02\\n\n";
    return add_from_string(testbed_.get(), interface, error);
}

bool Testbed::add_device_file(const std::string &node, const UsbPlace *usb_parent,
                              std::string &error)
{
    std::string description;
    if (node.rfind("usb/", 0) == 0) {
        const std::string name = node.substr(4);
        const std::string path = usb_parent ? lp_sys_path(*usb_parent, name).substr(4)
                                            : "/devices/virtual/usbmisc/" + name;
        const std::string minor = name.substr(2);
        drop_stale_links("usbmisc", name);
        description = "P: " + path + "\nN: " + node + "\nE: SUBSYSTEM=usbmisc\nE: DEVNAME=/dev/" +
                      node + "\nE: MAJOR=180\nE: MINOR=" + minor + "\nA: dev=180:" + minor +
                      "\\n\n";
    } else {
        description = "P: /devices/platform/serial8250/tty/" + node + "\nN: " + node +
                      "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" + node + "\n" + tty_numbers(node);
    }
    if (!pass_through_) {
        pass_through_ = GRef<UMockdevIoctlBase>::adopt(umockdev_ioctl_base_new());
        g_signal_connect(pass_through_.get(), "handle-ioctl", G_CALLBACK(&pass_ioctl_through),
                         nullptr);
    }
    if (!attach("/dev/" + node, pass_through_.get(), error)) return false;
    return add_from_string(testbed_.get(), description, error);
}

int Testbed::pty_master(const std::string &devnode) const
{
    return umockdev_testbed_get_dev_fd(testbed_.get(), devnode.c_str());
}

void Testbed::set_usb_configuration(const UsbPlace &place, unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u\n", value);
    umockdev_testbed_set_attribute(testbed_.get(), usb_sys_path(place).c_str(),
                                   "bConfigurationValue", text);
}

void Testbed::set_interface_attribute(const UsbPlace &place, const char *name,
                                      const std::string &value)
{
    umockdev_testbed_set_attribute(testbed_.get(), interface_sys_path(place).c_str(), name,
                                   value.c_str());
}

void Testbed::remove_device(const std::string &sys_path)
{
    umockdev_testbed_uevent(testbed_.get(), sys_path.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_.get(), sys_path.c_str());
}

}  // namespace orvy::sim
