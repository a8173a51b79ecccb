// One round of all six inquiries on one printer port, kept for the metrics.
#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

namespace orvy::metrics {

struct RecordOutcome {
    unsigned mask = 0;
    const char *name = "";             // inquiry name
    std::vector<unsigned char> bytes;  // the record; empty when the inquiry failed
    const char *failure = nullptr;     // the exchange's failure text, or none
};

struct PrinterRound {
    std::string port;     // as given: the label, stable across replugs
    long open_error = 0;  // the library's open code, 0 when it opened
    bool busy = false;    // the port is there, but another program holds it
    std::array<RecordOutcome, 6> records;

    // Opened, and at least one record came back intact.
    bool up() const;
    // The record of inquiry `mask`, or none when it did not arrive.
    std::span<const unsigned char> record(unsigned mask) const;
};

// A refused open that means "held by another program": a device file that
// the kernel or another program's lock refuses with EBUSY (-1), a USB
// interface that cannot be claimed (-4).
bool held_by_another_program(long open_error, int open_errno);

// Opens `port` (the library follows a stable name to its device),
// synchronises, inquires every record once and closes. Prints nothing.
PrinterRound inquire_printer(const std::string &port);

}  // namespace orvy::metrics
