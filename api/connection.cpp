// The connections of orvy_api_conn_open: one object per printer, its calls
// serialised by its own lock, nothing shared with other connections or with
// the process-wide connection of orvy_api_printer_open.
#include <climits>
#include <memory>
#include <mutex>
#include <new>

#include "Orvy_Api.h"
#include "error_codes.h"
#include "port_name.h"
#include "printer_link.h"
#include "transport.h"

using orvy::api::PrinterLink;

struct orvy_api_conn {
    std::mutex lock;
    std::unique_ptr<PrinterLink> link;
};

namespace {

int open_link(const char *port, std::unique_ptr<PrinterLink> &link)
{
    const std::string name = orvy::api::resolve_port_name(port);
    switch (orvy::api::mode_for_port(name, orvy::api::kModeNone)) {
    case orvy::api::kModeDeviceFile: return orvy::api::open_device_file_link(name.c_str(), link);
    case orvy::api::kModeUsbBulk: return orvy::api::open_usb_link(name.c_str(), link);
    default: return orvy::api::kNoSuchPrinter;
    }
}

// The checks that write and read share; 0 when the call may go ahead.
long transfer_refusal(orvy_api_conn *conn, const void *data, size_t size)
{
    if (conn == nullptr) return orvy::api::kNoConnection;
    if ((data == nullptr && size > 0) || size > static_cast<size_t>(LONG_MAX)) {
        return orvy::api::kInvalidArgument;
    }
    return 0;
}

}  // namespace

extern "C" {

int orvy_api_conn_open(const char *port, orvy_api_conn **conn)
{
    if (conn == nullptr) return orvy::api::kInvalidArgument;
    *conn = nullptr;
    if (port == nullptr) return orvy::api::kNoSuchPrinter;
    // No exception may cross into the C interface; the owners have already
    // given everything back by the time it is caught.
    try {
        std::unique_ptr<PrinterLink> link;
        if (const int failed = open_link(port, link)) return failed;
        auto *opened = new orvy_api_conn;
        opened->link = std::move(link);
        *conn = opened;
        return ORVY_API_OK;
    } catch (const std::bad_alloc &) {
        return orvy::api::kNoRingStorage;
    }
}

long orvy_api_conn_write(orvy_api_conn *conn, const void *data, size_t size,
                         unsigned long timeout_ms)
{
    if (const long refused = transfer_refusal(conn, data, size)) return refused;
    if (size == 0) return 0;
    const std::lock_guard serialised(conn->lock);
    return conn->link->write(static_cast<const unsigned char *>(data), size, timeout_ms);
}

long orvy_api_conn_read(orvy_api_conn *conn, void *data, size_t size, unsigned long timeout_ms)
{
    if (const long refused = transfer_refusal(conn, data, size)) return refused;
    if (size == 0) return 0;
    const std::lock_guard serialised(conn->lock);
    return conn->link->read(static_cast<unsigned char *>(data), size, timeout_ms);
}

int orvy_api_conn_clear(orvy_api_conn *conn)
{
    if (conn == nullptr) return orvy::api::kNoConnection;
    const std::lock_guard serialised(conn->lock);
    return conn->link->clear();
}

void orvy_api_conn_close(orvy_api_conn *conn)
{
    // The caller's promise: no other call on it is running or will start.
    delete conn;
}

}  // extern "C"
