#include "rx_ring.h"

#include <algorithm>
#include <cstring>

#include "Orvy_Api.h"
#include "usb_resources.h"

extern "C" {
unsigned char *m_pub_rx_buffer = nullptr;
int m_index_rx_bottom = 0;
int m_index_rx_top = 0;
}

namespace orvy::api {
namespace {

int held(int top, int bottom) { return (top - bottom + kRxRingSize) % kRxRingSize; }

}  // namespace

int buffer_get_rx_count() { return held(m_index_rx_top, m_index_rx_bottom); }

int buffer_get_rx_free() { return kRxRingSize - buffer_get_rx_count(); }

int buffer_get_rx_data(unsigned char *pub_data, int n_data)
{
    const int index_rx_top = m_index_rx_top;
    int index_rx_bottom = m_index_rx_bottom;
    int i_data = 0;
    while (i_data < n_data) {
        int piece = 0;
        if (index_rx_bottom < index_rx_top) {
            piece = std::min(index_rx_top - index_rx_bottom, n_data - i_data);
        } else if (index_rx_bottom == index_rx_top) {
            break;
        } else {
            // The bytes held wrap: first up to the end of the storage.
            piece = std::min(kRxRingSize - index_rx_bottom, n_data - i_data);
        }
        std::memcpy(pub_data + i_data, m_pub_rx_buffer + index_rx_bottom,
                    static_cast<std::size_t>(piece));
        index_rx_bottom = (index_rx_bottom + piece) % kRxRingSize;
        i_data += piece;
    }
    m_index_rx_bottom = index_rx_bottom;
    return i_data;
}

int buffer_set_rx_data(unsigned char *pub_data, int n_data)
{
    if (n_data <= 0) return 1;
    int index_rx_top = m_index_rx_top;
    const int index_rx_bottom = m_index_rx_bottom;
    if (m_pub_rx_buffer == nullptr) return 0;
    if (n_data > kRxRingCapacity - held(index_rx_top, index_rx_bottom)) return 0;

    int i_data = 0;
    while (i_data < n_data) {
        const int piece = index_rx_top >= index_rx_bottom
                              ? std::min(kRxRingSize - index_rx_top, n_data - i_data)
                              : std::min(index_rx_bottom - index_rx_top - 1, n_data - i_data);
        std::memcpy(m_pub_rx_buffer + index_rx_top, pub_data + i_data,
                    static_cast<std::size_t>(piece));
        index_rx_top = (index_rx_top + piece) % kRxRingSize;
        i_data += piece;
    }
    // Published only once everything is in place: an append is all or nothing.
    m_index_rx_top = index_rx_top;
    return 1;
}

void buffer_reset_rx()
{
    if (m_pub_rx_buffer != nullptr) std::memset(m_pub_rx_buffer, 0, kRxRingSize);
    m_index_rx_top = 0;
    m_index_rx_bottom = 0;
}

bool RxRingStorage::allocate()
{
    release();
    HeapBytes storage = allocate_bytes(kRxRingSize);
    if (!storage) return false;
    m_pub_rx_buffer = storage.release();
    installed_ = true;
    buffer_reset_rx();
    return true;
}

void RxRingStorage::release()
{
    if (!installed_) return;
    installed_ = false;
    const HeapBytes storage(m_pub_rx_buffer);
    m_pub_rx_buffer = nullptr;
    buffer_reset_rx();
}

}  // namespace orvy::api
