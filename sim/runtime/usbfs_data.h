// Reading and writing the client memory that a usbfs ioctl points to, and
// answering the ioctl; shared by the parts of the USB port.
#pragma once

#include <umockdev.h>

#include <cstddef>
#include <cstring>

#include "client_liveness.h"
#include "gobject_ref.h"

namespace orvy::sim::usbfs {

template <typename T>
inline T field(const UMockdevIoctlData *data, std::size_t offset)
{
    T value{};
    if (data && offset + sizeof value <= static_cast<std::size_t>(data->data_len)) {
        std::memcpy(&value, data->data + offset, sizeof value);
    }
    return value;
}

template <typename T>
inline void set_field(UMockdevIoctlData *data, std::size_t offset, T value)
{
    if (data && offset + sizeof value <= static_cast<std::size_t>(data->data_len)) {
        std::memcpy(data->data + offset, &value, sizeof value);
    }
}

inline GRef<UMockdevIoctlData> resolve(UMockdevIoctlData *data, std::size_t offset,
                                       std::size_t length)
{
    GError *error = nullptr;
    auto resolved =
        GRef<UMockdevIoctlData>::adopt(umockdev_ioctl_data_resolve(data, offset, length, &error));
    g_clear_error(&error);
    return resolved;
}

// Still has the device open: umockdev has not seen the connection close,
// and it has not been closed at the client's end either.
inline bool connected(UMockdevIoctlClient *client)
{
    return client && umockdev_ioctl_client_get_connected(client) && !client_hung_up(client);
}

inline void complete(UMockdevIoctlClient *client, long result)
{
    if (result < 0) {
        umockdev_ioctl_client_complete(client, -1, static_cast<int>(-result));
    } else {
        umockdev_ioctl_client_complete(client, result, 0);
    }
}

}  // namespace orvy::sim::usbfs
