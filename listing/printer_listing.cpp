#include "printer_listing.h"

#include <libudev.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "printer_identity.h"

namespace orvy::list {
namespace {

struct UdevUnref {
    void operator()(udev *u) const { udev_unref(u); }
    void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
    void operator()(udev_device *d) const { udev_device_unref(d); }
};
using Udev = std::unique_ptr<udev, UdevUnref>;
using UdevEnumerate = std::unique_ptr<udev_enumerate, UdevUnref>;
using UdevDevice = std::unique_ptr<udev_device, UdevUnref>;

constexpr unsigned kFirstProductId = 1;
constexpr unsigned kLastProductId = 3;

std::string text_or_empty(const char *text) { return text ? text : ""; }

unsigned hex_attribute(udev_device *device, const char *name)
{
    const char *text = udev_device_get_sysattr_value(device, name);
    return text ? static_cast<unsigned>(std::strtoul(text, nullptr, 16)) : 0;
}

// The syspaths of the devices of `subsystem` (with `devtype`, if given).
std::vector<std::string> syspaths_of(udev *context, const char *subsystem, const char *devtype)
{
    std::vector<std::string> paths;
    UdevEnumerate enumerate(udev_enumerate_new(context));
    if (!enumerate) return paths;
    udev_enumerate_add_match_subsystem(enumerate.get(), subsystem);
    if (devtype) udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE", devtype);
    if (udev_enumerate_scan_devices(enumerate.get()) < 0) return paths;
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
    {
        paths.emplace_back(udev_list_entry_get_name(entry));
    }
    return paths;
}

// The usblp file whose USB device is `usb_syspath`, if the driver is bound.
std::string lp_node_of(udev *context, const std::string &usb_syspath)
{
    for (const std::string &path : syspaths_of(context, "usbmisc", nullptr)) {
        UdevDevice lp(udev_device_new_from_syspath(context, path.c_str()));
        if (!lp) continue;
        const std::string name = text_or_empty(udev_device_get_sysname(lp.get()));
        if (name.rfind("lp", 0) != 0) continue;
        // The parent belongs to `lp` and is released with it.
        udev_device *usb =
            udev_device_get_parent_with_subsystem_devtype(lp.get(), "usb", "usb_device");
        if (usb && text_or_empty(udev_device_get_syspath(usb)) == usb_syspath) {
            return text_or_empty(udev_device_get_devnode(lp.get()));
        }
    }
    return {};
}

// The IEEE 1284 device ID that usblp read from the printer, on the interface
// it is bound to; empty when it is not bound.
std::string device_id_of(udev *context, const std::string &usb_syspath)
{
    for (const std::string &path : syspaths_of(context, "usb", "usb_interface")) {
        if (path.rfind(usb_syspath + "/", 0) != 0) continue;
        UdevDevice interface(udev_device_new_from_syspath(context, path.c_str()));
        if (!interface) continue;
        const char *id = udev_device_get_sysattr_value(interface.get(), "ieee1284_id");
        if (id && *id) return id;
    }
    return {};
}

// The stable link `name` of the printer `serial` when it leads to `node`.
std::string stable_name(const std::string &serial, const char *name, const std::string &node)
{
    if (serial.empty() || node.empty()) return {};
    const std::string link = "/dev/orvy/by-serial/" + serial + "/" + name;
    char target[PATH_MAX];
    const ssize_t length = readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return {};
    std::filesystem::path resolved(std::string(target, static_cast<std::size_t>(length)));
    if (resolved.is_relative()) resolved = std::filesystem::path(link).parent_path() / resolved;
    return resolved.lexically_normal() == std::filesystem::path(node) ? link : std::string();
}

}  // namespace

std::vector<ListedPrinter> find_printers(unsigned vendor_id, std::string &error)
{
    std::vector<ListedPrinter> printers;
    Udev context(udev_new());
    if (!context) {
        error = "cannot reach udev";
        return printers;
    }
    const bool rule_installed = udev_rule_installed();
    for (const std::string &path : syspaths_of(context.get(), "usb", "usb_device")) {
        UdevDevice device(udev_device_new_from_syspath(context.get(), path.c_str()));
        if (!device || hex_attribute(device.get(), "idVendor") != vendor_id) continue;
        const unsigned product_id = hex_attribute(device.get(), "idProduct");
        if (product_id < kFirstProductId || product_id > kLastProductId) continue;
        ListedPrinter printer;
        printer.product_id = product_id;
        printer.serial = text_or_empty(udev_device_get_sysattr_value(device.get(), "serial"));
        printer.usb_port = text_or_empty(udev_device_get_devnode(device.get()));
        printer.lp_port = lp_node_of(context.get(), path);
        printer.stable_usb_port = stable_name(printer.serial, "usb", printer.usb_port);
        printer.stable_lp_port = stable_name(printer.serial, "lp", printer.lp_port);
        printer.device_id = device_id_of(context.get(), path);
        const PrinterIdentity identity =
            identity_of(printer.device_id,
                        text_or_empty(udev_device_get_sysattr_value(device.get(), "manufacturer")),
                        text_or_empty(udev_device_get_sysattr_value(device.get(), "product")),
                        printer.serial);
        printer.make = identity.make;
        printer.model = identity.model;
        printer.cups_uri = identity.cups_uri;
        if (!printer.usb_port.empty()) {
            printer.usb_access = check_access(printer.usb_port, rule_installed);
        }
        if (!printer.lp_port.empty()) {
            printer.lp_access = check_access(printer.lp_port, rule_installed);
        }
        printers.push_back(std::move(printer));
    }
    std::sort(printers.begin(), printers.end(), [](const ListedPrinter &a, const ListedPrinter &b) {
        return a.usb_port < b.usb_port;
    });
    return printers;
}

}  // namespace orvy::list
