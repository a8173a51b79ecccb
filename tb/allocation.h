// Heap access of the toolbox. Every block the library hands out is taken with
// malloc (callers of the C interface rely on that ownership contract); the
// seam lets tests make a chosen allocation fail.
#ifndef ORVY_TB_ALLOCATION_H
#define ORVY_TB_ALLOCATION_H

#include <cstddef>

namespace orvy::tb {

// malloc, unless a test has armed a failure for this allocation.
void *allocate(std::size_t size) noexcept;

// free; none does nothing.
void release(void *block) noexcept;

namespace test {
// The count-th allocation from now on fails (1 = the next one); 0 disarms.
void fail_allocation_number(unsigned count) noexcept;
}  // namespace test

}  // namespace orvy::tb

#endif
