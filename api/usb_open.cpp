#include "usb_open.h"

#include <libusb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "Orvy_Api.h"
#include "deadline.h"
#include "diagnostics.h"
#include "error_codes.h"
#include "usb_bus_path.h"
#include "usb_connection.h"
#include "usb_resources.h"
#include "usb_seams.h"

extern "C" {
int ORVY_API_ACCESS_WRITE = 0x02;
int ORVY_API_ACCESS_READ = 0x81;
int ORVY_API_ACCESS_READ_ENDPOINT_SIZE = 64;
int ORVY_API_INTERFACE = 0;
}

namespace orvy::api {
namespace {

constexpr std::uint16_t kFamilyVendorId{ORVY_USB_VENDOR_ID};
constexpr int kWantedConfiguration = 1;
constexpr unsigned long kClaimLimitMs = 1000;
constexpr unsigned long kClaimPauseMs = kClaimLimitMs < 100 ? kClaimLimitMs : 100;

// Endpoint values are kept as ints; libusb takes their low byte.
unsigned char endpoint_byte(int endpoint) { return static_cast<unsigned char>(endpoint & 0xFF); }

libusb_device *find_device(libusb_device *const *list, ssize_t count, UsbBusAddress where)
{
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device *device = list[i];
        if (device == nullptr) continue;
        if (libusb_get_bus_number(device) == where.bus &&
            libusb_get_device_address(device) == where.address) {
            return device;
        }
    }
    return nullptr;
}

// Looked at before the device is opened, so that a mistyped bus path never
// reconfigures or detaches somebody else's device.
bool is_family_printer(libusb_device *device)
{
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0) return false;
    return descriptor.idVendor == kFamilyVendorId && descriptor.idProduct >= 1 &&
           descriptor.idProduct <= 3;
}

// `diagnostics`: the process-wide open prints its lines; a connection prints nothing.
void select_configuration(libusb_device_handle *handle, bool diagnostics)
{
    int configuration = -1;
    libusb_get_configuration(handle, &configuration);
    if (diagnostics) debug_printf(" Configuration = %d\n", configuration);
    if (configuration != kWantedConfiguration) {
        libusb_set_configuration(handle, kWantedConfiguration);
    }
}

void remember_endpoint(const libusb_endpoint_descriptor &endpoint)
{
    if ((endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0) {
        ORVY_API_ACCESS_READ = endpoint.bEndpointAddress;
        ORVY_API_ACCESS_READ_ENDPOINT_SIZE = endpoint.wMaxPacketSize;
    } else {
        ORVY_API_ACCESS_WRITE = endpoint.bEndpointAddress;
    }
    debug_printf(" Endpoints Descriptor - Endpoint address = %2.2X\n", endpoint.bEndpointAddress);
    debug_printf(" Endpoints Descriptor - Size Endpoint = %d\n", endpoint.bLength);
    debug_printf(" Endpoints Descriptor - Type  descriptor= %d\n", endpoint.bDescriptorType);
    debug_printf(" Endpoints Descriptor - Max packet size = %d\n", endpoint.wMaxPacketSize);
    debug_puts(" ************************************* \n");
}

// Walks every alternate setting of the first interface. Later endpoints
// overwrite earlier ones, and the interface number becomes the index of the
// last alternate setting, as printers of the family have always been driven
// through orvy_api_printer_open.
int learn_endpoints(const libusb_config_descriptor &config)
{
    if (config.bNumInterfaces == 0 || config.interface == nullptr) return kNoAlternateSetting;
    const libusb_interface &first = config.interface[0];
    if (first.num_altsetting <= 0 || first.altsetting == nullptr) return kNoAlternateSetting;

    for (int i = 0; i < first.num_altsetting; ++i) {
        const libusb_interface_descriptor &setting = first.altsetting[i];
        debug_printf(" Endpoints count = %d\n", setting.bNumEndpoints);
        ORVY_API_INTERFACE = i;
        if (setting.bNumEndpoints < 2) return kTooFewEndpoints;
        for (int e = 0; e < setting.bNumEndpoints; ++e) remember_endpoint(setting.endpoint[e]);
        debug_printf(" Endpoint READ = 0x%2.2X\n", ORVY_API_ACCESS_READ);
        debug_printf(" Endpoint WRITE= 0x%2.2X\n", ORVY_API_ACCESS_WRITE);
    }
    return 0;
}

// A connection's choice: the last alternate setting of the first interface
// that has both an IN and an OUT endpoint (a printer may offer a setting
// without a way back), with its last IN and last OUT endpoint, its own
// interface number and setting number.
int choose_setting(const libusb_config_descriptor &config, UsbEndpoints &chosen)
{
    if (config.bNumInterfaces == 0 || config.interface == nullptr) return kNoAlternateSetting;
    const libusb_interface &first = config.interface[0];
    if (first.num_altsetting <= 0 || first.altsetting == nullptr) return kNoAlternateSetting;

    bool found = false;
    for (int i = 0; i < first.num_altsetting; ++i) {
        const libusb_interface_descriptor &setting = first.altsetting[i];
        UsbEndpoints candidate;
        bool has_in = false;
        bool has_out = false;
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor &endpoint = setting.endpoint[e];
            if ((endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0) {
                candidate.in = endpoint.bEndpointAddress;
                candidate.in_packet_size = endpoint.wMaxPacketSize;
                has_in = true;
            } else {
                candidate.out = endpoint.bEndpointAddress;
                has_out = true;
            }
        }
        if (!has_in || !has_out) continue;
        candidate.interface_number = setting.bInterfaceNumber;
        candidate.alt_setting = setting.bAlternateSetting;
        chosen = candidate;
        found = true;
    }
    return found ? 0 : kTooFewEndpoints;
}

// Another program may hold the interface for a moment: retry within the limit.
bool claim_within_limit(libusb_device_handle *handle, int number, bool diagnostics)
{
    Deadline deadline(kClaimLimitMs);
    while (libusb_claim_interface(handle, number) != 0) {
        const int detached = libusb_detach_kernel_driver(handle, number);
        if (diagnostics) debug_printf(" DETACH error = %d \n", detached);
        pause_ms(kClaimPauseMs);
        if (deadline.expired()) return false;
    }
    return true;
}

enum class Opener { process_wide, connection };

// The steps that both opens share, in their order: find the printer, check
// its identity, open it, set its configuration, learn its endpoints, take the
// interface from the kernel's driver and claim it.
int open_printer(const char *port, UsbPrinter &printer, Opener opener)
{
    const bool process_wide = opener == Opener::process_wide;
    const auto where = parse_usb_bus_path(port);
    if (!where) return kNoSuchPrinter;

    const int initialised =
        process_wide ? printer.context.acquire_default() : printer.context.acquire_own();
    if (initialised != 0) return kCannotOpen;

    libusb_device **raw_list = nullptr;
    const ssize_t count = libusb_get_device_list(printer.context.get(), &raw_list);
    if (count < 0) return kCannotOpen;
    const DeviceList list(raw_list);

    libusb_device *device = find_device(list.get(), count, *where);
    if (device == nullptr || !is_family_printer(device)) return kNoSuchPrinter;

    if (process_wide) {
        // The earlier connection holds the interface that a reopen of the
        // same printer must claim, and the ring that the new one installs. A
        // name that leads to no printer of the family leaves it alone.
        usb_connection_release();
        (void)printer.reservation.take(*where);
    } else if (!printer.reservation.take(*where)) {
        return kInterfaceBusy;
    }

    libusb_device_handle *raw_handle = nullptr;
    if (usb_seams::open_device(device, &raw_handle) != 0) return kCannotOpen;
    printer.device.reset(raw_handle);
    libusb_device_handle *handle = printer.device.get();

    select_configuration(handle, process_wide);

    libusb_config_descriptor *raw_config = nullptr;
    if (usb_seams::read_active_config(device, &raw_config) != 0) {
        if (process_wide) debug_puts(" Active config Error  ");
        return kNoActiveConfig;
    }
    const ConfigDescriptor config(raw_config);
    const int walked =
        process_wide ? learn_endpoints(*config) : choose_setting(*config, printer.endpoints);
    if (walked != 0) return walked;

    const int number = process_wide ? ORVY_API_INTERFACE : printer.endpoints.interface_number;
    if (libusb_kernel_driver_active(handle, number) == 1 &&
        libusb_detach_kernel_driver(handle, number) != 0) {
        return kDriverStuck;
    }
    if (!claim_within_limit(handle, number, process_wide)) return kInterfaceBusy;
    printer.claimed = ClaimedInterface(handle, number);

    const libusb_interface &first = config->interface[0];
    if (!process_wide && first.num_altsetting > 1 &&
        libusb_set_interface_alt_setting(handle, number, printer.endpoints.alt_setting) != 0) {
        return kNoAlternateSetting;
    }
    return 0;
}

intptr_t open_process_wide(const char *port)
{
    auto connection = std::make_unique<UsbConnection>();
    if (const int failed = open_printer(port, connection->printer, Opener::process_wide)) {
        return failed;
    }
    if (!connection->ring.allocate()) return kNoRingStorage;
    return usb_connection_install(std::move(connection));
}

}  // namespace

unsigned char bulk_out_endpoint() { return endpoint_byte(ORVY_API_ACCESS_WRITE); }
unsigned char bulk_in_endpoint() { return endpoint_byte(ORVY_API_ACCESS_READ); }
int bulk_in_packet_size() { return std::max(ORVY_API_ACCESS_READ_ENDPOINT_SIZE, 0); }

intptr_t usb_bulk_open(const char *port)
{
    // No exception may cross into the C interface; the owners have already
    // given everything back by the time it is caught.
    try {
        return open_process_wide(port);
    } catch (const std::bad_alloc &) {
        return kCannotOpen;
    }
}

int usb_printer_open(const char *port, UsbPrinter &printer)
{
    try {
        return open_printer(port, printer, Opener::connection);
    } catch (const std::bad_alloc &) {
        return kNoRingStorage;
    }
}

}  // namespace orvy::api
