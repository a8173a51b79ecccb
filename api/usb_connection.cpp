#include "usb_connection.h"

namespace orvy::api {
namespace {

// Deliberately a plain pointer: a connection left open at exit is not torn
// down from a static destructor, behind the application's back.
UsbConnection *current_connection = nullptr;

}  // namespace

libusb_device_handle *usb_connection_for(intptr_t printer)
{
    if (current_connection == nullptr) return nullptr;
    libusb_device_handle *handle = current_connection->printer.device.get();
    return reinterpret_cast<intptr_t>(handle) == printer ? handle : nullptr;
}

intptr_t usb_connection_install(std::unique_ptr<UsbConnection> connection)
{
    usb_connection_release();
    current_connection = connection.release();
    return reinterpret_cast<intptr_t>(current_connection->printer.device.get());
}

void usb_connection_release()
{
    std::unique_ptr<UsbConnection> released(current_connection);
    current_connection = nullptr;
}

}  // namespace orvy::api
