// Owners of what the USB bulk transport takes from libusb and the heap, so
// that every early return of open gives it all back, in reverse order.
#pragma once

#include <libusb.h>

#include <cstdlib>
#include <memory>
#include <utility>

#include "usb_seams.h"

namespace orvy::api {

// One reference on libusb's default context (libusb_init(NULL) counts them).
class DefaultContextReference {
public:
    DefaultContextReference() = default;
    DefaultContextReference(const DefaultContextReference &) = delete;
    DefaultContextReference &operator=(const DefaultContextReference &) = delete;
    ~DefaultContextReference()
    {
        if (held_) usb_seams::exit_session(nullptr);
    }

    // Returns libusb_init's result; the reference is held only when it is 0.
    int acquire()
    {
        const int result = usb_seams::init_session(nullptr);
        held_ = result == 0;
        return result;
    }

private:
    bool held_ = false;
};

struct DeviceListDeleter {
    void operator()(libusb_device **list) const { libusb_free_device_list(list, 1); }
};
// The devices of libusb_get_device_list, unreferenced when the list goes.
using DeviceList = std::unique_ptr<libusb_device *[], DeviceListDeleter>;

struct DeviceHandleDeleter {
    void operator()(libusb_device_handle *handle) const { libusb_close(handle); }
};
using DeviceHandle = std::unique_ptr<libusb_device_handle, DeviceHandleDeleter>;

struct ConfigDescriptorDeleter {
    void operator()(libusb_config_descriptor *config) const
    {
        libusb_free_config_descriptor(config);
    }
};
using ConfigDescriptor = std::unique_ptr<libusb_config_descriptor, ConfigDescriptorDeleter>;

// An interface claimed on an open device handle.
class ClaimedInterface {
public:
    ClaimedInterface() = default;
    ClaimedInterface(libusb_device_handle *handle, int number) : handle_(handle), number_(number) {}
    ClaimedInterface(const ClaimedInterface &) = delete;
    ClaimedInterface &operator=(const ClaimedInterface &) = delete;
    ClaimedInterface(ClaimedInterface &&other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), number_(other.number_)
    {}
    ClaimedInterface &operator=(ClaimedInterface &&other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
            number_ = other.number_;
        }
        return *this;
    }
    ~ClaimedInterface() { reset(); }

private:
    void reset()
    {
        if (handle_ != nullptr) libusb_release_interface(std::exchange(handle_, nullptr), number_);
    }

    libusb_device_handle *handle_ = nullptr;
    int number_ = 0;
};

struct FreeDeleter {
    void operator()(unsigned char *bytes) const { std::free(bytes); }
};
// Heap bytes from usb_seams::allocate.
using HeapBytes = std::unique_ptr<unsigned char, FreeDeleter>;

inline HeapBytes allocate_bytes(std::size_t size)
{
    return HeapBytes(static_cast<unsigned char *>(usb_seams::allocate(size)));
}

}  // namespace orvy::api
