#include "printer_class.h"

#include "records.h"

namespace orvy::sim {
namespace {

constexpr std::uint8_t kTypeMask = 0x60;
constexpr std::uint8_t kTypeClass = 0x20;
constexpr std::uint8_t kRecipientMask = 0x1F;
constexpr std::uint8_t kRecipientInterface = 0x01;
constexpr std::uint8_t kRecipientOther = 0x03;
constexpr std::uint8_t kDirectionIn = 0x80;

// The printer's command language, as the device ID names it for drivers.
constexpr const char *kCommandSet = "ORVY";

}  // namespace

std::string device_id(const UsbShape &shape)
{
    return std::string("MFG:") + kManufacturer + ";MDL:" + kProductName + ";CMD:" + kCommandSet +
           ";CLS:PRINTER;SN:" + shape.serial_number + ";";
}

bool is_printer_class_request(const SetupPacket &setup)
{
    const std::uint8_t recipient = setup.request_type & kRecipientMask;
    return (setup.request_type & kTypeMask) == kTypeClass &&
           (recipient == kRecipientInterface || recipient == kRecipientOther);
}

std::optional<Bytes> answer_printer_class_request(const SetupPacket &setup, const UsbShape &shape,
                                                  bool paper_empty)
{
    if (!is_printer_class_request(setup)) return std::nullopt;
    const bool in = (setup.request_type & kDirectionIn) != 0;
    std::optional<Bytes> data;
    if (in && setup.request == kGetDeviceId) {
        // wIndex: interface in the high byte, alternate setting in the low one.
        if (setup.index >> 8 != 0 || (setup.index & 0xFF) >= shape.alt_settings) return data;
        const std::string id = device_id(shape);
        const std::size_t length = id.size() + 2;
        data = Bytes{static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
        data->insert(data->end(), id.begin(), id.end());
    } else if (in && setup.request == kGetPortStatus) {
        if ((setup.index & 0xFF) != 0) return data;
        data = Bytes{static_cast<std::uint8_t>(kPortSelected | kPortNoError |
                                               (paper_empty ? kPortPaperEmpty : 0))};
    } else if (!in && setup.request == kSoftReset) {
        if ((setup.index & 0xFF) != 0) return data;
        data = Bytes{};
    }
    if (data && data->size() > setup.length) data->resize(setup.length);
    return data;
}

}  // namespace orvy::sim
