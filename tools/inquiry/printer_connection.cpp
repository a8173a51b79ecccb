#include "printer_connection.h"

#include <unistd.h>

#include <array>
#include <vector>

#include "Orvy_Api.h"

namespace orvy::inquiry {
namespace {

constexpr unsigned long kSyncTimeoutMs = 500;
constexpr useconds_t kSyncPauseUs = 500 * 1000;

}  // namespace

PrinterConnection::PrinterConnection(const std::string &port)
{
    // The library takes a mutable name; it does not alter it.
    std::vector<char> name(port.begin(), port.end());
    name.push_back('\0');
    handle_ = orvy_api_printer_open(name.data());
}

void PrinterConnection::close()
{
    if (handle_ >= 0) orvy_api_printer_close(handle_);
    handle_ = -1;
}

void send_synchronisation(std::intptr_t printer)
{
    std::array<unsigned char, 10> sync{};
    orvy_api_printer_write(printer, sync.data(), static_cast<int>(sync.size()), kSyncTimeoutMs);
    usleep(kSyncPauseUs);
}

}  // namespace orvy::inquiry
