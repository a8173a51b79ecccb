// One port's side of the printer: parses what the host sent on that port,
// lets the shared printer execute it and sends the answers back through the
// port's delivery queue, shaped by the answer knobs. Call with the shared
// mutex held.
#pragma once

#include "command_parser.h"
#include "delivery_queue.h"
#include "shared_printer.h"

namespace orvy::sim {

class PrinterLink {
public:
    // `port` names the port in the transcript ("usb", "lp", "tty").
    PrinterLink(SharedPrinter &shared, const char *port, DeliveryQueue::Deliver deliver);

    // Logs the bytes as one transcript line, then acts on them.
    void host_sent(const std::uint8_t *data, std::size_t size);
    // Unsolicited bytes (--pending, --babble-ms), sent at once.
    void send_now(Bytes bytes);
    void stop() { queue_.stop(); }

    const char *port() const { return port_; }

private:
    SharedPrinter &shared_;
    const char *port_;
    DeliveryQueue::Deliver deliver_;
    CommandParser parser_;
    DeliveryQueue queue_;
};

}  // namespace orvy::sim
