#include "usb_read_diagnostics.h"

#include <libusb.h>

#include <cstdio>

#include "diagnostics.h"

namespace orvy::api {

const char *read_result_line(int transfer_result)
{
    switch (transfer_result) {
    case LIBUSB_ERROR_TIMEOUT: return "READ TIMEOUT %d\n";
    case LIBUSB_ERROR_PIPE: return "READ PIPE %d\n";
    case LIBUSB_ERROR_OVERFLOW: return "READ OVERFLOW %d\n";
    case LIBUSB_ERROR_NO_DEVICE: return "READ NO DEVICE %d\n";
    case LIBUSB_ERROR_IO: return "READ LIBUSB_ERROR_IO %d\n";
    case LIBUSB_TRANSFER_ERROR: return "READ LIBUSB_TRANSFER_ERROR %d\n";
    case LIBUSB_ERROR_INTERRUPTED: return "READ LIBUSB_ERROR_INTERRUPTED %d\n";
    case LIBUSB_ERROR_ACCESS: return "READ LIBUSB_ERROR_ACCESS %d\n";
    case LIBUSB_ERROR_BUSY: return "READ LIBUSB_ERROR_BUSY %d\n";
    case LIBUSB_ERROR_NO_MEM: return "READ LIBUSB_ERROR_NO_MEM %d\n";
    case LIBUSB_ERROR_INVALID_PARAM: return "READ LIBUSB_ERROR_INVALID_PARAM %d\n";
    default: return nullptr;
    }
}

void report_received_packet(int transfer_result, const unsigned char *packet, int received)
{
    if (!debug_enabled()) return;
    std::printf("\n Transfered = %d \n", received);
    for (int i = 0; i < received; ++i) {
        std::printf("[%2.2X] ", packet[i]);
        std::fflush(stdout);
    }
    std::puts("\n ");
    if (received == 0) {
        std::printf("error = %d, count = %d\n", transfer_result, received);
        if (const char *line = read_result_line(transfer_result); line != nullptr) {
            std::printf(line, transfer_result);
        }
    }
}

}  // namespace orvy::api
