// Receive ring of the USB bulk transport.
//
// Bulk packets arrive in the sizes the printer chooses; callers ask for the
// sizes they need. The ring sits between the two: 1024 bytes of storage, a
// write index (next slot to write) and a read index (oldest byte held).
// Equal indexes mean empty, and one slot always stays free, so it holds at
// most 1023 bytes. Nothing here prints or waits.
//
// RxRing works on storage and indexes that live elsewhere: the connection of
// orvy_api_printer_open keeps them in the exported variables m_pub_rx_buffer,
// m_index_rx_top and m_index_rx_bottom (the buffer_* functions below), each
// connection of orvy_api_conn_open in its own OwnRxRing.
#pragma once

#include <array>

namespace orvy::api {

inline constexpr int kRxRingSize = 1024;
// The most bytes the ring can hold.
inline constexpr int kRxRingCapacity = kRxRingSize - 1;

class RxRing {
public:
    RxRing(unsigned char *&storage, int &top, int &bottom)
        : storage_(storage), top_(top), bottom_(bottom)
    {}

    // Bytes held, 0..1023.
    int count() const;
    // 1024 minus the bytes held, 1..1024: one more than the largest append
    // accepted.
    int free() const { return kRxRingSize - count(); }
    // Takes up to n_data of the oldest bytes into pub_data; returns how many.
    // n_data <= 0 takes nothing and returns 0.
    int take(unsigned char *pub_data, int n_data);
    // Appends n_data bytes: 1 when all went in, 0 when the append was refused
    // whole (more than 1023 minus the bytes held, or no storage). n_data <= 0
    // appends nothing and returns 1.
    int append(const unsigned char *pub_data, int n_data);
    // Drops everything held: zero-fills the storage when it exists and sets
    // both indexes to 0.
    void reset();

private:
    unsigned char *&storage_;
    int &top_;
    int &bottom_;
};

// The ring of the process-wide connection, on the exported variables.
RxRing process_rx_ring();

// A ring with storage of its own, for one connection.
class OwnRxRing {
public:
    OwnRxRing() = default;
    OwnRxRing(const OwnRxRing &) = delete;
    OwnRxRing &operator=(const OwnRxRing &) = delete;

    RxRing ring() { return RxRing(storage_, top_, bottom_); }

private:
    std::array<unsigned char, kRxRingSize> bytes_{};
    unsigned char *storage_ = bytes_.data();
    int top_ = 0;
    int bottom_ = 0;
};

// The process-wide ring, as the USB read of orvy_api_printer_read uses it.
int buffer_get_rx_count();
int buffer_get_rx_free();
int buffer_get_rx_data(unsigned char *pub_data, int n_data);
int buffer_set_rx_data(unsigned char *pub_data, int n_data);
void buffer_reset_rx();

// The process-wide ring's storage for as long as a USB connection lives:
// allocate() installs 1024 zeroed bytes as m_pub_rx_buffer with both indexes
// at 0, and the owner's end frees them and leaves the ring empty and without
// storage. Only this class allocates.
class RxRingStorage {
public:
    RxRingStorage() = default;
    ~RxRingStorage() { release(); }
    RxRingStorage(const RxRingStorage &) = delete;
    RxRingStorage &operator=(const RxRingStorage &) = delete;

    // False when the storage cannot be allocated; the ring then has none.
    bool allocate();

private:
    void release();

    bool installed_ = false;
};

}  // namespace orvy::api
