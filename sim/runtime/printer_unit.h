// One simulated printer with its ports: USB device with its printer-class
// file below its interface, serial port, and the stable links that udev's
// rule would make (/dev/orvy/by-serial/<SERIAL>/usb and .../lp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "pty_port.h"
#include "shared_printer.h"
#include "testbed.h"
#include "usb_port.h"

namespace orvy::sim {

class PrinterUnit {
public:
    // Printer `index` (0: the first) with its own `options` at USB address
    // `place.address`, lp<index> and, for the first, the serial port
    // options.tty_name, else ttyS<index+1>.
    PrinterUnit(const Options &options, unsigned index, std::mutex &mutex, Transcript &transcript,
                GMainContext *context, Testbed &testbed);
    PrinterUnit(const PrinterUnit &) = delete;
    PrinterUnit &operator=(const PrinterUnit &) = delete;

    bool create(std::string &error);

    // With the shared mutex held: unsolicited bytes on every port.
    void send_now(const Bytes &bytes);
    // Main thread, without the mutex: the printer goes away for good.
    void unplug();
    // Main thread, without the mutex: a replug in two steps. The USB device
    // and its printer-class file go, with their links; then they come back
    // at USB address `address` with printer-class file lp<lp_number>.
    // umockdev cannot make a pty node again under a name it has used, so
    // unlike the kernel's usblp the file comes back under a new name.
    void leave_usb();
    bool return_usb(unsigned address, unsigned lp_number, std::string &error);

    const std::string &serial_number() const { return shared_.options.usb.serial_number; }
    SharedPrinter &shared() { return shared_; }
    const Options &options() const { return shared_.options; }
    // USB and its printer-class file are away (a replug or an unplug by the
    // control channel); the serial port stays.
    bool away_from_usb() const { return !usb_ && !gone_usb_.empty(); }

private:
    bool plug_usb(UsbPlace place, std::string &error);
    void make_link(const char *name, const std::string &target);
    void remove_links();
    std::string link_dir() const;

    SharedPrinter shared_;
    Testbed &testbed_;
    std::string lp_node_;   // "usb/lp0"
    std::string tty_node_;  // "ttyS1"
    std::unique_ptr<UsbPort> usb_;
    std::unique_ptr<PtyPort> lp_;
    std::unique_ptr<PtyPort> tty_;
    // Ports of earlier plugs: umockdev's thread and GLib sources may still
    // refer to them.
    std::vector<std::unique_ptr<UsbPort>> gone_usb_;
    std::vector<std::unique_ptr<PtyPort>> gone_lp_;
    bool unplugged_ = false;  // for good: a replug does not bring it back
};

}  // namespace orvy::sim
