#include "printer_round.h"

#include <cerrno>
#include <memory>

#include "Orvy_Api.h"
#include "inquiry_table.h"
#include "record_exchange.h"

namespace orvy::metrics {
namespace {

struct CloseConnection {
    void operator()(orvy_api_conn *conn) const { orvy_api_conn_close(conn); }
};
using Connection = std::unique_ptr<orvy_api_conn, CloseConnection>;

constexpr const char *kGone = "Printer is gone";

}  // namespace

bool PrinterRound::up() const
{
    if (open_error != 0) return false;
    for (const RecordOutcome &outcome : records) {
        if (!outcome.bytes.empty()) return true;
    }
    return false;
}

bool held_by_another_program(long open_error, int open_errno)
{
    return open_error == -4 || (open_error == -1 && open_errno == EBUSY);
}

std::span<const unsigned char> PrinterRound::record(unsigned mask) const
{
    for (const RecordOutcome &outcome : records) {
        if (outcome.mask == mask) return outcome.bytes;
    }
    return {};
}

PrinterRound inquire_printer(const std::string &port)
{
    PrinterRound round;
    round.port = port;
    const auto inquiries = inquiry::inquiry_table();
    for (std::size_t i = 0; i < round.records.size() && i < inquiries.size(); ++i) {
        round.records[i].mask = inquiries[i].mask;
        round.records[i].name = inquiries[i].name;
    }

    orvy_api_conn *opened = nullptr;
    errno = 0;
    const int code = orvy_api_conn_open(port.c_str(), &opened);
    const int open_errno = errno;
    if (code != 0) {
        round.open_error = code;
        round.busy = held_by_another_program(round.open_error, open_errno);
        return round;
    }
    Connection conn(opened);
    // A printer that is gone ends the round at once: every record left fails.
    bool gone = !inquiry::synchronise(conn.get());
    for (std::size_t i = 0; i < round.records.size() && i < inquiries.size(); ++i) {
        RecordOutcome &outcome = round.records[i];
        if (gone) {
            outcome.failure = kGone;
            continue;
        }
        std::vector<unsigned char> area(inquiries[i].size);
        const auto result = inquiry::exchange_record(conn.get(), inquiries[i], area);
        gone = result == inquiry::ExchangeResult::printer_gone;
        outcome.failure = inquiry::exchange_failure_text(result);
        if (outcome.failure == nullptr) outcome.bytes = std::move(area);
    }
    return round;
}

}  // namespace orvy::metrics
