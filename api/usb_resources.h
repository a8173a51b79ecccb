// Owners of what the USB bulk transport takes from libusb and the heap, so
// that every early return of open gives it all back, in reverse order.
#pragma once

#include <libusb.h>

#include <cstdlib>
#include <memory>
#include <utility>

#include "usb_seams.h"

namespace orvy::api {

// A libusb context: one reference on the default context (libusb_init(NULL)
// counts them), which the process-wide connection uses, or a context of its
// own, which each connection of orvy_api_conn_open has, so that no two
// connections share libusb's event handling.
class LibusbContext {
public:
    LibusbContext() = default;
    LibusbContext(const LibusbContext &) = delete;
    LibusbContext &operator=(const LibusbContext &) = delete;
    ~LibusbContext()
    {
        if (held_) usb_seams::exit_session(context_);
    }

    // Returns libusb_init's result; the context is held only when it is 0.
    int acquire_default() { return acquire(nullptr); }
    int acquire_own()
    {
        libusb_context *context = nullptr;
        return acquire(&context);
    }
    // nullptr for the default context.
    libusb_context *get() const { return context_; }

private:
    int acquire(libusb_context **context)
    {
        const int result = usb_seams::init_session(context);
        held_ = result == 0;
        if (held_ && context != nullptr) context_ = *context;
        return result;
    }

    bool held_ = false;
    libusb_context *context_ = nullptr;
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
