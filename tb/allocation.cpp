#include "allocation.h"

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace orvy::tb {

namespace {
// Large records are written from start to end right after they are taken.
// With 4 KiB pages every page costs a fault on first touch, which dominates
// the conversion itself; asking for huge pages on the 2 MiB-aligned interior
// of the block cuts that cost by orders of magnitude. Only a hint: where the
// kernel has no transparent huge pages, nothing changes.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugePageWorthwhile = 2 * kHugePage;

void advise_huge_pages(void *block, std::size_t size) noexcept
{
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
    const std::uintptr_t last = (start + size) & ~std::uintptr_t{kHugePage - 1};
    if (first < last) (void)madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}
}  // namespace

void *allocate(std::size_t size) noexcept
{
    void *block = seams::allocate(size);
    if (block != nullptr && size >= kHugePageWorthwhile) advise_huge_pages(block, size);
    return block;
}

void release(void *block) noexcept { std::free(block); }

void *(*seams::allocate)(std::size_t) = std::malloc;

void seams::restore_all() { seams::allocate = std::malloc; }

}  // namespace orvy::tb
