// The exported C interface of libOrvyApi: process-wide state, the library
// information, the transport choice at open and a thin dispatch to the
// transport of the current mode.
#include "Orvy_Api.h"

#include "diagnostics.h"
#include "port_name.h"
#include "transport.h"

using orvy::api::mode_for_port;
using orvy::api::resolve_port_name;
using orvy::api::transport_for_mode;

extern "C" {
int DEBUG_MESSAGES = 0;
int communication = orvy::api::kModeNone;
int ORVY_API_ACCESS_WRITE = 0x02;
int ORVY_API_ACCESS_READ = 0x81;
int ORVY_API_ACCESS_READ_ENDPOINT_SIZE = 64;
int ORVY_API_INTERFACE = 0;
unsigned char *m_pub_rx_buffer = nullptr;
int m_index_rx_bottom = 0;
int m_index_rx_top = 0;
}

extern "C" {

char *orvy_api_get_library_info(void)
{
    static char library_info[] = "Velmora - libOrvyApi - R3-V1.04e - S417702";
    return library_info;
}

intptr_t orvy_api_printer_open(char *port)
{
    if (port == nullptr) return -2;
    const std::string name = resolve_port_name(port);
    communication = mode_for_port(name, communication);
    const auto *transport = transport_for_mode(communication);
    if (transport == nullptr) return -2;
    return transport->open(name.c_str());
}

int orvy_api_printer_clear(intptr_t printer)
{
    const auto *transport = transport_for_mode(communication);
    if (printer < 0 || transport == nullptr) return 0;
    return transport->clear(printer);
}

int orvy_api_printer_write(intptr_t printer, unsigned char *data, int size,
                           unsigned long timeout_ms)
{
    const auto *transport = transport_for_mode(communication);
    if (printer < 0 || data == nullptr || size <= 0 || transport == nullptr) return 0;
    return transport->write(printer, data, size, timeout_ms);
}

int orvy_api_printer_read(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    const auto *transport = transport_for_mode(communication);
    if (printer < 0 || data == nullptr || size <= 0 || transport == nullptr) return 0;
    orvy::api::debug_printf("\n Start of reading = %d \n", size);
    return transport->read(printer, data, size, timeout_ms);
}

void orvy_api_printer_close(intptr_t printer)
{
    const auto *transport = transport_for_mode(communication);
    if (printer < 0 || transport == nullptr) return;
    transport->close(printer);
}

}  // extern "C"
