#include "status_poll.h"

#include <Orvy_Inquiry.h>

namespace orvy::backend {
namespace {

constexpr unsigned long kSendMs = 300;
constexpr unsigned long kAnswerMs = 1000;

}  // namespace

bool StatusPoll::exchange(const char *record_name, std::vector<std::uint8_t> &data)
{
    const orvy_inquiry_record *record = orvy_inquiry_record_named(record_name);
    if (!record || gone_) return false;
    if (unsure_) {
        if (orvy_api_conn_clear(conn_) == ORVY_API_E_GONE) gone_ = true;
        unsure_ = false;
    }
    const unsigned char inquiry[3] = {0x1D, 0x61,
                                      static_cast<unsigned char>(orvy_inquiry_record_mask(record))};
    unsure_ = true;
    const long sent = orvy_api_conn_write(conn_, inquiry, sizeof inquiry, kSendMs);
    if (sent == ORVY_API_E_GONE) gone_ = true;
    if (sent != static_cast<long>(sizeof inquiry)) return false;

    unsigned char header[4];
    const long got = orvy_api_conn_read(conn_, header, sizeof header, kAnswerMs);
    if (got == ORVY_API_E_GONE) gone_ = true;
    if (got != static_cast<long>(sizeof header) ||
        orvy_inquiry_check_header(record, header) != ORVY_INQUIRY_OK) {
        return false;
    }
    std::vector<std::uint8_t> record_data(orvy_inquiry_record_size(record));
    const long body = orvy_api_conn_read(conn_, record_data.data(), record_data.size(), kAnswerMs);
    if (body == ORVY_API_E_GONE) gone_ = true;
    if (body != static_cast<long>(record_data.size())) return false;
    data = std::move(record_data);
    unsure_ = false;
    return true;
}

PrinterRecords StatusPoll::read()
{
    PrinterRecords records;
    if (exchange("status", records.status) && exchange("sensor", records.sensor)) {
        exchange("presenter", records.presenter);
    }
    return records;
}

}  // namespace orvy::backend
