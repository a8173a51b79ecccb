#include "printer_round.h"

#include <cerrno>

#include "inquiry_exchange.h"
#include "inquiry_table.h"
#include "printer_connection.h"

namespace orvy::metrics {

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

    errno = 0;
    inquiry::PrinterConnection printer(port);
    const int open_errno = errno;
    if (!printer.is_open()) {
        round.open_error = static_cast<long>(printer.handle());
        round.busy = held_by_another_program(round.open_error, open_errno);
        return round;
    }
    inquiry::send_synchronisation(printer.handle());
    for (std::size_t i = 0; i < round.records.size() && i < inquiries.size(); ++i) {
        const inquiry::InquiryEntry &entry = inquiries[i];
        std::vector<unsigned char> area(entry.size);
        RecordOutcome &outcome = round.records[i];
        outcome.failure = inquiry::lo_inquire_data(printer.handle(), entry.mask, entry.type,
                                                   area.data(), entry.size, nullptr);
        if (outcome.failure == nullptr) outcome.bytes = std::move(area);
    }
    return round;
}

}  // namespace orvy::metrics
