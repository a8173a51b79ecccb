#include "allocation.h"

#include <atomic>
#include <cstdlib>

namespace orvy::tb {

namespace {
// Allocations still to go before the armed failure; 0 when disarmed.
std::atomic<unsigned> g_allocations_until_failure{0};

bool armed_failure_due() noexcept
{
    unsigned remaining = g_allocations_until_failure.load(std::memory_order_relaxed);
    while (remaining != 0) {
        if (g_allocations_until_failure.compare_exchange_weak(remaining, remaining - 1,
                                                              std::memory_order_relaxed))
            return remaining == 1;
    }
    return false;
}
} // namespace

void *allocate(std::size_t size) noexcept
{
    if (armed_failure_due())
        return nullptr;
    return std::malloc(size);
}

void release(void *block) noexcept
{
    std::free(block);
}

void test::fail_allocation_number(unsigned count) noexcept
{
    g_allocations_until_failure.store(count, std::memory_order_relaxed);
}

} // namespace orvy::tb
