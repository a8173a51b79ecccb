// Heap access of the toolbox. Every block the library hands out is taken with
// malloc (callers of the C interface rely on that ownership contract).
#pragma once

#include <cstddef>

namespace orvy::tb {

// malloc (through the seam below).
void *allocate(std::size_t size) noexcept;

// free; none does nothing.
void release(void *block) noexcept;

// Calls that tests may replace, to make a chosen allocation fail.
namespace seams {
// malloc behind allocate (its blocks are released with free).
extern void *(*allocate)(std::size_t size);
// Puts every seam back to the real call.
void restore_all();
}  // namespace seams

}  // namespace orvy::tb
