// The exported C interface of libOrvyApi: the library information, the
// transport choice at open and a thin dispatch to the transport of the
// current mode. The state of each transport lives with the transport.
#include "Orvy_Api.h"

#include <climits>

#include "diagnostics.h"
#include "error_codes.h"
#include "port_name.h"
#include "serial_settings.h"
#include "transport.h"

using orvy::api::mode_for_port;
using orvy::api::resolve_port_name;
using orvy::api::Transport;
using orvy::api::transport_for_mode;

namespace {

// The transport of the current mode when `printer` is its current
// connection's handle; nullptr for any other value, which callers then treat
// like a negative handle.
const Transport *transport_owning(intptr_t printer)
{
    const Transport *transport = transport_for_mode(communication);
    if (printer < 0 || transport == nullptr || !transport->owns(printer)) return nullptr;
    return transport;
}

}  // namespace

extern "C" {
int communication = orvy::api::kModeNone;
}

extern "C" {

char *orvy_api_get_library_info(void)
{
    static char library_info[] = "Velmora - libOrvyApi - R3-V1.04e - S417702";
    return library_info;
}

intptr_t orvy_api_printer_open(char *port)
{
    if (port == nullptr) return orvy::api::kNoSuchPrinter;
    const std::string name = resolve_port_name(port);
    communication = mode_for_port(name, communication);
    const auto *transport = transport_for_mode(communication);
    if (transport == nullptr) return orvy::api::kNoSuchPrinter;
    orvy::api::release_other_transports(transport);
    return transport->open(name.c_str());
}

int orvy_api_printer_set_serial(intptr_t printer, unsigned long baud_rate,
                                unsigned char /*data_bits: always 8*/, unsigned char parity,
                                unsigned char stop_bits)
{
    if (printer < 0) return 0;
    // Outside the device-file transport the handle is no descriptor; a value
    // past INT_MAX is none either and must not be cut down to an unrelated one.
    if (communication != orvy::api::kModeDeviceFile || printer > INT_MAX) return 1;
    orvy::api::apply_serial_settings(static_cast<int>(printer), baud_rate, parity, stop_bits);
    return 1;
}

int orvy_api_printer_clear(intptr_t printer)
{
    const Transport *transport = transport_owning(printer);
    if (transport == nullptr) return 0;
    return transport->clear(printer);
}

int orvy_api_printer_write(intptr_t printer, unsigned char *data, int size,
                           unsigned long timeout_ms)
{
    const Transport *transport = transport_owning(printer);
    if (transport == nullptr || data == nullptr || size <= 0) return 0;
    return transport->write(printer, data, size, timeout_ms);
}

int orvy_api_printer_read(intptr_t printer, unsigned char *data, int size, unsigned long timeout_ms)
{
    const Transport *transport = transport_owning(printer);
    if (transport == nullptr || data == nullptr || size <= 0) return 0;
    orvy::api::debug_printf("\n Start of reading = %d \n", size);
    return transport->read(printer, data, size, timeout_ms);
}

void orvy_api_printer_close(intptr_t printer)
{
    const Transport *transport = transport_owning(printer);
    if (transport != nullptr) transport->close(printer);
}

}  // extern "C"
