#include "printer_finder.h"

#include "device_uri.h"
#include "printer_listing.h"

namespace orvy::backend {
namespace {

// Quotes delimit the fields of a discovery line.
std::string unquoted(std::string text)
{
    for (char &c : text) {
        if (c == '"' || c == '\n' || c == '\r') c = '\'';
    }
    return text;
}

}  // namespace

std::vector<AttachedPrinter> attached_printers()
{
    std::string error;
    std::vector<AttachedPrinter> out;
    for (const list::ListedPrinter &p : list::find_printers(ORVY_USB_VENDOR_ID, error)) {
        if (p.serial.empty() || p.usb_port.empty()) continue;  // nothing to name or open
        AttachedPrinter printer{p.serial, p.usb_port,  p.make,
                                p.model,  p.device_id, device_uri_from_usb_uri(p.cups_uri)};
        if (printer.device_id.empty()) {
            printer.device_id =
                "MFG:" + p.make + ";MDL:" + p.model + ";CLS:PRINTER;SN:" + p.serial + ";";
        }
        out.push_back(std::move(printer));
    }
    return out;
}

std::optional<AttachedPrinter> attached_printer(const std::string &serial)
{
    for (AttachedPrinter &printer : attached_printers()) {
        if (printer.serial == serial) return std::move(printer);
    }
    return std::nullopt;
}

std::string discovery_line(const AttachedPrinter &printer)
{
    const std::string make_model = unquoted(printer.make + " " + printer.model);
    return "direct " + printer.uri + " \"" + make_model + "\" \"" + make_model + " (serial " +
           unquoted(printer.serial) + ")\" \"" + unquoted(printer.device_id) + "\" \"\"";
}

}  // namespace orvy::backend
