#include "usb_seams.h"

#include <cstdlib>

namespace orvy::api::usb_seams {
namespace {
void *allocate_with_malloc(std::size_t size) { return std::malloc(size); }
}  // namespace

int (*init_session)(libusb_context **) = libusb_init;
void (*exit_session)(libusb_context *) = libusb_exit;
int (*open_device)(libusb_device *, libusb_device_handle **) = libusb_open;
int (*read_active_config)(libusb_device *,
                          libusb_config_descriptor **) = libusb_get_active_config_descriptor;
int (*bulk_transfer)(libusb_device_handle *, unsigned char, unsigned char *, int, int *,
                     unsigned int) = libusb_bulk_transfer;
void *(*allocate)(std::size_t) = allocate_with_malloc;

void restore_all()
{
    init_session = libusb_init;
    exit_session = libusb_exit;
    open_device = libusb_open;
    read_active_config = libusb_get_active_config_descriptor;
    bulk_transfer = libusb_bulk_transfer;
    allocate = allocate_with_malloc;
}

}  // namespace orvy::api::usb_seams
