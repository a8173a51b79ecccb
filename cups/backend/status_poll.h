// Reads the printer's status, sensor and presenter records on an open
// connection between two writes of print data. Unlike the inquiry tool's
// exchange it makes no pauses: the printer answers inquiries ahead of its
// print data, within milliseconds.
#pragma once

#include <Orvy_Api.h>

#include "printer_conditions.h"

namespace orvy::backend {

class StatusPoll {
public:
    explicit StatusPoll(orvy_api_conn *conn) : conn_(conn) {}

    // The records that came; the others are empty. Stops at the first record
    // that the printer does not take or answer in time.
    PrinterRecords read();
    // The printer went away during a read.
    bool gone() const { return gone_; }

private:
    bool exchange(const char *record_name, std::vector<std::uint8_t> &data);

    orvy_api_conn *conn_;
    bool unsure_ = false;  // a late answer may still arrive: clear first
    bool gone_ = false;
};

}  // namespace orvy::backend
