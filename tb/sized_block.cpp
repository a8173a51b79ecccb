#include "Orvy_Tb.h"

#include "allocation.h"

#include <cstddef>
#include <cstring>
#include <limits>

namespace {

// The size header sits directly in front of the payload the caller holds.
constexpr std::size_t kHeaderWidth = sizeof(unsigned long);
static_assert(sizeof(unsigned long) <= sizeof(std::size_t));

unsigned char *block_start(void *payload) noexcept
{
    return static_cast<unsigned char *>(payload) - kHeaderWidth;
}

unsigned long header_of(void *payload) noexcept
{
    unsigned long size = 0;
    std::memcpy(&size, block_start(payload), kHeaderWidth);
    return size;
}

// A block for size payload bytes with its header set, payload not written;
// none when the heap refuses or header plus size cannot be represented.
unsigned char *new_block(unsigned long size) noexcept
{
    if (size > std::numeric_limits<std::size_t>::max() - kHeaderWidth) return nullptr;
    auto *start = static_cast<unsigned char *>(orvy::tb::allocate(kHeaderWidth + size));
    if (start == nullptr) return nullptr;
    std::memcpy(start, &size, kHeaderWidth);
    return start + kHeaderWidth;
}

}  // namespace

void *orvy_tb_alloc_mem(unsigned long size)
{
    unsigned char *payload = new_block(size);
    if (payload != nullptr) std::memset(payload, 0, size);
    return payload;
}

void orvy_tb_free(void *my_mem)
{
    if (my_mem != nullptr) orvy::tb::release(block_start(my_mem));
}

void *orvy_tb_alloc_mem_cat(void *mem, void *data, unsigned long size)
{
    const unsigned long size_old = mem != nullptr ? header_of(mem) : 0;
    unsigned char *mem_new = nullptr;
    if (size <= std::numeric_limits<unsigned long>::max() - size_old) {
        mem_new = new_block(size_old + size);
    }
    if (mem_new != nullptr) {
        if (size_old != 0) std::memcpy(mem_new, mem, size_old);
        // Bytes counted but not given are cleared rather than left to chance.
        if (data != nullptr) {
            std::memcpy(mem_new + size_old, data, size);
        } else {
            std::memset(mem_new + size_old, 0, size);
        }
    }
    // Consumed in every case; data may point into it, so only now.
    orvy_tb_free(mem);
    return mem_new;
}

unsigned long orvy_tb_alloc_mem_size(void *mem) { return mem != nullptr ? header_of(mem) : 0; }
