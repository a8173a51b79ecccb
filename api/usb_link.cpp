// A connection's printer on the USB bulk transport: its own libusb context,
// device, claimed interface, endpoints and receive ring.
#include <libusb.h>

#include <memory>
#include <new>
#include <vector>

#include "error_codes.h"
#include "printer_link.h"
#include "rx_ring.h"
#include "usb_open.h"
#include "usb_transfers.h"

namespace orvy::api {
namespace {

class UsbPrinterLink final : public PrinterLink {
public:
    UsbPrinterLink() = default;
    UsbPrinterLink(const UsbPrinterLink &) = delete;
    UsbPrinterLink &operator=(const UsbPrinterLink &) = delete;

    int open(const char *port)
    {
        const int opened = usb_printer_open(port, printer_);
        if (opened != 0) return opened;
        scratch_.resize(static_cast<std::size_t>(std::max(printer_.endpoints.in_packet_size, 1)));
        return 0;
    }

    long write(const unsigned char *data, std::size_t size, unsigned long timeout_ms) override
    {
        if (gone_) return kPrinterGone;
        return outcome(usb_send(link(), data, static_cast<long>(size), timeout_ms, OnGone::stop));
    }
    long read(unsigned char *data, std::size_t size, unsigned long timeout_ms) override
    {
        if (gone_) return kPrinterGone;
        return outcome(usb_receive(link(), data, size, timeout_ms, scratch_.data(), OnGone::stop));
    }
    int clear() override
    {
        if (gone_ || usb_discard_input(link(), OnGone::stop)) gone_ = true;
        return gone_ ? kPrinterGone : 0;
    }

private:
    UsbLink link()
    {
        const UsbEndpoints &endpoints = printer_.endpoints;
        return UsbLink{printer_.device.get(), endpoints.out,
                       endpoints.in,          static_cast<int>(scratch_.size()),
                       ring_.ring(),          false};
    }

    long outcome(UsbMoved moved)
    {
        if (moved.gone) gone_ = true;
        if (moved.count > 0 || !moved.gone) return moved.count;
        return kPrinterGone;
    }

    // Released in reverse order: the ring, then the printer.
    UsbPrinter printer_;
    OwnRxRing ring_;
    std::vector<unsigned char> scratch_;
    bool gone_ = false;
};

}  // namespace

int open_usb_link(const char *port, std::unique_ptr<PrinterLink> &link)
{
    std::unique_ptr<UsbPrinterLink> usb(new (std::nothrow) UsbPrinterLink);
    if (!usb) return kNoRingStorage;
    const int opened = usb->open(port);
    if (opened != 0) return opened;
    link = std::move(usb);
    return 0;
}

}  // namespace orvy::api
