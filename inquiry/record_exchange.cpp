#include "record_exchange.h"

#include <array>
#include <chrono>
#include <thread>

#include "answer_header.h"

namespace orvy::inquiry {
namespace {

constexpr unsigned long kTransferTimeoutMs = 1000;
// Quiet time around the clear, so that a late answer to an earlier inquiry is
// thrown away rather than taken for this one.
constexpr auto kSettle = std::chrono::milliseconds(100);

constexpr unsigned long kSyncTimeoutMs = 500;
constexpr auto kSyncPause = std::chrono::milliseconds(500);

bool gone(long result) { return result == ORVY_API_E_GONE; }

}  // namespace

bool synchronise(orvy_api_conn *conn)
{
    const std::array<unsigned char, 10> sync{};
    if (gone(orvy_api_conn_write(conn, sync.data(), sync.size(), kSyncTimeoutMs))) return false;
    std::this_thread::sleep_for(kSyncPause);
    return true;
}

ExchangeResult exchange_record(orvy_api_conn *conn, const InquiryEntry &entry,
                               std::span<unsigned char> record)
{
    std::this_thread::sleep_for(kSettle);
    if (gone(orvy_api_conn_clear(conn))) return ExchangeResult::printer_gone;
    std::this_thread::sleep_for(kSettle);

    const auto command = inquiry_command(entry.mask);
    const long sent = orvy_api_conn_write(conn, command.data(), command.size(), kTransferTimeoutMs);
    if (gone(sent)) return ExchangeResult::printer_gone;
    if (sent != static_cast<long>(command.size())) return ExchangeResult::send_failed;

    AnswerHeader header{};
    const long got = orvy_api_conn_read(conn, header.data(), header.size(), kTransferTimeoutMs);
    if (gone(got)) return ExchangeResult::printer_gone;
    if (got != static_cast<long>(header.size())) return ExchangeResult::no_header;
    switch (check_answer_header(header, entry.type, entry.size)) {
    case HeaderCheck::ok: break;
    case HeaderCheck::size_mismatch: return ExchangeResult::size_mismatch;
    case HeaderCheck::type_mismatch: return ExchangeResult::type_mismatch;
    }

    const long data = orvy_api_conn_read(conn, record.data(), entry.size, kTransferTimeoutMs);
    if (gone(data)) return ExchangeResult::printer_gone;
    if (data != entry.size) return ExchangeResult::data_incomplete;
    return ExchangeResult::ok;
}

const char *exchange_failure_text(ExchangeResult result)
{
    switch (result) {
    case ExchangeResult::ok: return nullptr;
    case ExchangeResult::send_failed: return "Could not send inquiry to printer";
    case ExchangeResult::no_header: return "Did not receive data response header";
    case ExchangeResult::size_mismatch: return "Mismatch in size of received data ";
    case ExchangeResult::type_mismatch: return "Mismatch in type of received data ";
    case ExchangeResult::data_incomplete: return "Did not receive inquired data";
    case ExchangeResult::printer_gone: return "Printer is gone";
    }
    return nullptr;
}

}  // namespace orvy::inquiry
