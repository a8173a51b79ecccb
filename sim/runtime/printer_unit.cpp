#include "printer_unit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "printer_class.h"

namespace orvy::sim {

PrinterUnit::PrinterUnit(const Options &options, unsigned index, std::mutex &mutex,
                         Transcript &transcript, GMainContext *context, Testbed &testbed)
    : shared_(options, index, mutex, transcript, context), testbed_(testbed),
      lp_node_("usb/lp" + std::to_string(index)),
      tty_node_(index == 0 ? options.tty_name : "ttyS" + std::to_string(index + 1))
{}

bool PrinterUnit::create(std::string &error)
{
    const unsigned index = shared_.index;
    if (!shared_.options.paper_path.empty() &&
        !shared_.engine.open_receipt(shared_.options.paper_path)) {
        error =
            "cannot write the receipt " + shared_.options.paper_path + ": " + std::strerror(errno);
        return false;
    }
    if (!shared_.options.no_usb) {
        if (!plug_usb(UsbPlace{index + 1, 11 + index}, error)) return false;
    } else {
        if (!testbed_.add_device_file(lp_node_, nullptr, error)) return false;
        lp_ = std::make_unique<PtyPort>(shared_, shared_.lp_name.c_str(),
                                        testbed_.pty_master("/dev/" + lp_node_), false);
        if (!lp_->start(error)) return false;
    }
    if (!testbed_.add_device_file(tty_node_, nullptr, error)) return false;
    tty_ = std::make_unique<PtyPort>(shared_, shared_.tty_name.c_str(),
                                     testbed_.pty_master("/dev/" + tty_node_), true);
    return tty_->start(error);
}

// The USB device, then its printer-class file below its interface, then the
// links to both, in the order udev handles them.
bool PrinterUnit::plug_usb(UsbPlace place, std::string &error)
{
    usb_ = std::make_unique<UsbPort>(shared_, testbed_, place);
    if (!usb_->create(error)) return false;
    if (!testbed_.add_device_file(lp_node_, &place, error)) return false;
    // usblp shows the device ID that it read at probe on the interface it binds.
    testbed_.set_interface_attribute(place, "ieee1284_id", device_id(shared_.options.usb));
    lp_ = std::make_unique<PtyPort>(shared_, shared_.lp_name.c_str(),
                                    testbed_.pty_master("/dev/" + lp_node_), false);
    if (!lp_->start(error)) return false;
    const std::string dir = link_dir();
    const std::string by_serial = testbed_.root() + "/dev/orvy/by-serial";
    for (const std::string &d : {testbed_.root() + "/dev/orvy", by_serial, dir}) {
        mkdir(d.c_str(), 0755);
    }
    make_link("usb", "../../.." + Testbed::usb_node(place).substr(4));
    make_link("lp", "../../../" + lp_node_);
    return true;
}

// While a replugged printer is away it has neither USB port nor lp file.
void PrinterUnit::send_now(const Bytes &bytes)
{
    if (usb_) usb_->send_now(bytes);
    if (lp_) lp_->send_now(bytes);
    tty_->send_now(bytes);
}

void PrinterUnit::unplug()
{
    unplugged_ = true;
    if (usb_) usb_->unplug();
    if (lp_) lp_->unplug();
    tty_->unplug();
}

void PrinterUnit::leave_usb()
{
    if (!usb_) return;
    remove_links();
    lp_->unplug();
    testbed_.remove_device(Testbed::lp_sys_path(usb_->place(), lp_node_.substr(4)));
    testbed_.drop_stale_pty_map("180:" + lp_node_.substr(6));
    usb_->unplug();
    gone_lp_.push_back(std::move(lp_));
    gone_usb_.push_back(std::move(usb_));
}

bool PrinterUnit::return_usb(unsigned address, unsigned lp_number, std::string &error)
{
    if (gone_usb_.empty() || usb_ || unplugged_) return true;
    UsbPlace place = gone_usb_.back()->place();
    place.address = address;
    lp_node_ = "usb/lp" + std::to_string(lp_number);
    if (!plug_usb(place, error)) return false;
    char where[32];
    std::snprintf(where, sizeof where, "plugged in at 001/%03u", address);
    std::lock_guard lock(shared_.mutex);
    shared_.transcript.event(shared_.usb_name.c_str(), where);
    return true;
}

std::string PrinterUnit::link_dir() const
{
    return testbed_.root() + "/dev/orvy/by-serial/" + serial_number();
}

void PrinterUnit::make_link(const char *name, const std::string &target)
{
    const std::string link = link_dir() + "/" + name;
    unlink(link.c_str());
    if (symlink(target.c_str(), link.c_str()) != 0) std::perror(link.c_str());
}

void PrinterUnit::remove_links()
{
    unlink((link_dir() + "/usb").c_str());
    unlink((link_dir() + "/lp").c_str());
}

}  // namespace orvy::sim
