// One printer of a connection of orvy_api_conn_open, on either transport.
// The connection serialises the calls; a link only moves bytes.
#pragma once

#include <cstddef>
#include <memory>

namespace orvy::api {

class PrinterLink {
public:
    virtual ~PrinterLink() = default;

    // Bytes moved (0..size), or kPrinterGone when the printer went away
    // before anything moved. A link that found its printer gone stays so.
    virtual long write(const unsigned char *data, std::size_t size, unsigned long timeout_ms) = 0;
    virtual long read(unsigned char *data, std::size_t size, unsigned long timeout_ms) = 0;
    // 0, or kPrinterGone.
    virtual int clear() = 0;
};

// Open a link to the port (already resolved, of a known form): 0 and the
// link, or an open error code (-1..-8).
int open_device_file_link(const char *port, std::unique_ptr<PrinterLink> &link);
int open_usb_link(const char *port, std::unique_ptr<PrinterLink> &link);

}  // namespace orvy::api
