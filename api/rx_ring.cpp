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

int RxRing::count() const { return held(top_, bottom_); }

int RxRing::take(unsigned char *pub_data, int n_data)
{
    const int index_rx_top = top_;
    int index_rx_bottom = bottom_;
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
        std::memcpy(pub_data + i_data, storage_ + index_rx_bottom, static_cast<std::size_t>(piece));
        index_rx_bottom = (index_rx_bottom + piece) % kRxRingSize;
        i_data += piece;
    }
    bottom_ = index_rx_bottom;
    return i_data;
}

int RxRing::append(const unsigned char *pub_data, int n_data)
{
    if (n_data <= 0) return 1;
    int index_rx_top = top_;
    const int index_rx_bottom = bottom_;
    if (storage_ == nullptr) return 0;
    if (n_data > kRxRingCapacity - held(index_rx_top, index_rx_bottom)) return 0;

    int i_data = 0;
    while (i_data < n_data) {
        const int piece = index_rx_top >= index_rx_bottom
                              ? std::min(kRxRingSize - index_rx_top, n_data - i_data)
                              : std::min(index_rx_bottom - index_rx_top - 1, n_data - i_data);
        std::memcpy(storage_ + index_rx_top, pub_data + i_data, static_cast<std::size_t>(piece));
        index_rx_top = (index_rx_top + piece) % kRxRingSize;
        i_data += piece;
    }
    // Published only once everything is in place: an append is all or nothing.
    top_ = index_rx_top;
    return 1;
}

void RxRing::reset()
{
    if (storage_ != nullptr) std::memset(storage_, 0, kRxRingSize);
    top_ = 0;
    bottom_ = 0;
}

RxRing process_rx_ring() { return RxRing(m_pub_rx_buffer, m_index_rx_top, m_index_rx_bottom); }

int buffer_get_rx_count() { return process_rx_ring().count(); }

int buffer_get_rx_free() { return process_rx_ring().free(); }

int buffer_get_rx_data(unsigned char *pub_data, int n_data)
{
    return process_rx_ring().take(pub_data, n_data);
}

int buffer_set_rx_data(unsigned char *pub_data, int n_data)
{
    return process_rx_ring().append(pub_data, n_data);
}

void buffer_reset_rx() { process_rx_ring().reset(); }

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
