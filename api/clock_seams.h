// The clock that every wait of the library measures on. A monotonic clock:
// setting the system time (NTP stepping it at boot, an operator) must neither
// cut a time-out short nor stretch it. The reading goes through a seam so
// that tests can run a wait on a clock of their own. Internal: not exported
// from the shared library; the tests link the library's objects.
#pragma once

#include <ctime>

namespace orvy::api::clock_seams {

// clock_gettime; the library only ever asks it for CLOCK_MONOTONIC.
extern int (*read_clock)(clockid_t clock, struct timespec *now);

// Puts the seam back to the real call.
void restore_all();

}  // namespace orvy::api::clock_seams
