#include "inquiry_exchange.h"

#include <unistd.h>

#include <array>
#include <cstdio>

#include "Orvy_Api.h"
#include "messages.h"

namespace orvy::inquiry {
namespace {

constexpr unsigned long kTransferTimeoutMs = 1000;
// Quiet time around the clear, so that a late answer to an earlier inquiry is
// thrown away rather than taken for this one.
constexpr useconds_t kSettleUs = 100 * 1000;

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kResponseMarker = 0xFF;

}  // namespace

const char *lo_inquire_data(std::intptr_t printer, unsigned char mask, int type,
                            unsigned char *data, std::uint16_t size)
{
    return lo_inquire_data(printer, mask, type, data, size, stdout);
}

const char *lo_inquire_data(std::intptr_t printer, unsigned char mask, int type,
                            unsigned char *data, std::uint16_t size, std::FILE *diagnostics)
{
    usleep(kSettleUs);
    orvy_api_printer_clear(printer);
    usleep(kSettleUs);

    std::array<unsigned char, 3> command{0x1D, 0x61, mask};
    if (orvy_api_printer_write(printer, command.data(), command.size(), kTransferTimeoutMs) !=
        static_cast<int>(command.size())) {
        return failure::kSend;
    }

    std::array<unsigned char, 4> header{};
    const int got =
        orvy_api_printer_read(printer, header.data(), header.size(), kTransferTimeoutMs);
    if (got != static_cast<int>(header.size())) {
        say(diagnostics, "--- ERROR: not correct data size ! ...  %d != %d, \n", got,
            static_cast<int>(header.size()));
        return failure::kHeader;
    }

    const int got_type = header[2];
    const int got_size = header[3];
    if (header[0] != kEscape || header[1] != kResponseMarker || got_type != type ||
        got_size != size) {
        say(diagnostics, "--- ERROR: not correct data ! ...  %d ==%d, %d ==%d\n", got_type, type,
            got_size, static_cast<int>(size));
        return got_type == type ? failure::kSizeMismatch : failure::kTypeMismatch;
    }

    if (orvy_api_printer_read(printer, data, size, kTransferTimeoutMs) != size) {
        return failure::kData;
    }
    return nullptr;
}

}  // namespace orvy::inquiry
