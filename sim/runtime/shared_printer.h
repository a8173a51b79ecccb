// What the ports of one simulated printer share: the printer itself, its
// print path, its options (with its own serial number and knobs) and its
// ports' transcript names; and
// what all printers share: the transcript, the main loop's context and
// `mutex`, which guards every printer and every port's state. The USB
// handler runs on umockdev's worker thread, the device files and all timers
// on the main thread.
#pragma once

#include <glib.h>

#include <mutex>
#include <string>

#include "control_channel.h"
#include "options.h"
#include "print_engine.h"
#include "printer.h"
#include "transcript.h"

namespace orvy::sim {

struct SharedPrinter {
    // `index` 0 is the first printer: its ports keep the names "usb", "lp"
    // and "tty" in the transcript; printer 2 logs as "usb#2", "lp#2", "tty#2".
    // `o` holds this printer's own options.
    SharedPrinter(const Options &o, unsigned index, std::mutex &m, Transcript &t, GMainContext *c)
        : mutex(m), printer(serial_number_of(index), PaperRoll(o.paper_mm, o.near_end_mm)),
          engine(printer, m, c, o.print_buffer, o.print_rate), transcript(t), options(o),
          context(c), index(index), usb_name(port_name("usb", index)),
          lp_name(port_name("lp", index)), tty_name(port_name("tty", index))
    {
        options.usb.serial_number = serial_number_of(index);
    }

    // No paper reaches the head: the roll is out, or the printer takes
    // nothing at all (--paper-out).
    bool paper_empty() const { return options.paper_out || printer.paper_empty(); }

    std::mutex &mutex;
    Printer printer;
    PrintEngine engine;
    Transcript &transcript;
    Options options;
    GMainContext *context;
    unsigned index;
    std::string usb_name;
    std::string lp_name;
    std::string tty_name;
    ControlChannel *control = nullptr;  // read before host bytes are acted on

private:
    static std::string port_name(const char *kind, unsigned index)
    {
        return index == 0 ? kind : std::string(kind) + "#" + std::to_string(index + 1);
    }
};

}  // namespace orvy::sim
