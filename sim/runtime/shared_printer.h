// What every port of the simulator shares: the one printer, the transcript,
// the options and the main loop's context. `mutex` guards the printer and
// every port's state; the USB handler runs on umockdev's worker thread, the
// device files and all timers on the main thread.
#pragma once

#include <glib.h>

#include <mutex>

#include "options.h"
#include "printer.h"
#include "transcript.h"

namespace orvy::sim {

struct SharedPrinter {
    explicit SharedPrinter(const Options &o) : options(o) {}

    std::mutex mutex;
    Printer printer;
    Transcript transcript;
    const Options &options;
    GMainContext *context = nullptr;  // the main thread's
};

}  // namespace orvy::sim
