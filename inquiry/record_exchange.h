// One inquiry on a connection of the per-connection interface: the steps and
// times of the inquiry tool's exchange, with a result a program can act on.
#pragma once

#include <span>

#include "Orvy_Api.h"
#include "inquiry_table.h"

namespace orvy::inquiry {

enum class ExchangeResult {
    ok,
    send_failed,      // the 3-byte inquiry was not taken in time
    no_header,        // fewer than 4 header bytes in time
    size_mismatch,    // no 1B FF, or another record size
    type_mismatch,    // another block type
    data_incomplete,  // the record did not arrive whole in time
    printer_gone,     // the library reports the printer unplugged
};

// Pauses, clears pending input, pauses, sends the inquiry of `entry`, checks
// the answer header and reads the record into `record` (at least
// entry.size bytes). One attempt; at least 200 ms.
ExchangeResult exchange_record(orvy_api_conn *conn, const InquiryEntry &entry,
                               std::span<unsigned char> record);

// Ten zero bytes, then half a second for the printer to settle, so that a
// command left half-sent by an earlier program cannot swallow an inquiry.
// False when the printer is gone.
bool synchronise(orvy_api_conn *conn);

// The inquiry tool's failure text for a result, none for ok.
const char *exchange_failure_text(ExchangeResult result);

}  // namespace orvy::inquiry
