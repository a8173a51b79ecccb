// Receive ring of the USB bulk transport.
//
// Bulk packets arrive in the sizes the printer chooses; callers ask for the
// sizes they need. The ring sits between the two. Its whole state is the
// three exported variables m_pub_rx_buffer (1024 bytes), m_index_rx_top
// (next slot to write) and m_index_rx_bottom (oldest byte held), defined in
// this module alone: equal indexes mean empty, and one slot always stays
// free, so it holds at most 1023 bytes. Only RxRingStorage allocates; nothing
// here prints or waits.
#pragma once

namespace orvy::api {

inline constexpr int kRxRingSize = 1024;
// The most bytes the ring can hold.
inline constexpr int kRxRingCapacity = kRxRingSize - 1;

// Bytes held, 0..1023.
int buffer_get_rx_count();
// 1024 minus the bytes held, 1..1024: one more than the largest append that
// buffer_set_rx_data accepts.
int buffer_get_rx_free();
// Takes up to n_data of the oldest bytes into pub_data; returns how many.
// n_data <= 0 takes nothing and returns 0.
int buffer_get_rx_data(unsigned char *pub_data, int n_data);
// Appends n_data bytes from pub_data: 1 when all went in, 0 when the append
// was refused whole (more than 1023 minus the bytes held, or no storage).
// n_data <= 0 appends nothing and returns 1.
int buffer_set_rx_data(unsigned char *pub_data, int n_data);

// Drops everything held: zero-fills the storage when it exists and sets both
// indexes to 0 (clear and close).
void buffer_reset_rx();

// The ring's storage for as long as a USB connection lives: allocate()
// installs 1024 zeroed bytes as m_pub_rx_buffer with both indexes at 0, and
// the owner's end frees them and leaves the ring empty and without storage.
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
