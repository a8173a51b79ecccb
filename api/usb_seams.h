// Calls of the USB bulk transport that tests may replace, to reach failures
// that neither libusb nor the simulated printer can produce on demand
// (libusb_init failing, no memory, unusual descriptors). Internal: not
// exported from the shared library; the tests link the library's objects.
#pragma once

#include <libusb.h>

#include <cstddef>

namespace orvy::api::usb_seams {

// libusb_init / libusb_exit on the default context.
extern int (*init_session)(libusb_context **context);
extern void (*exit_session)(libusb_context *context);
// libusb_open.
extern int (*open_device)(libusb_device *device, libusb_device_handle **handle);
// libusb_get_active_config_descriptor; its result is released with
// libusb_free_config_descriptor.
extern int (*read_active_config)(libusb_device *device, libusb_config_descriptor **config);
// libusb_bulk_transfer (write, read and clear).
extern int (*bulk_transfer)(libusb_device_handle *handle, unsigned char endpoint,
                            unsigned char *data, int length, int *transferred,
                            unsigned int timeout_ms);
// malloc for the receive ring and the read scratch buffer (released with free).
extern void *(*allocate)(std::size_t size);

// Puts every seam back to the real call.
void restore_all();

}  // namespace orvy::api::usb_seams
