// Time limits and pauses of the library's waiting loops: a limit is measured
// on the monotonic clock from a reading taken at the start, in whole
// milliseconds (truncated, as the toolbox counts them).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "clock_seams.h"

namespace orvy::api {

class Deadline {
public:
    explicit Deadline(unsigned long limit_ms) : limit_ms_(limit_ms) { restart(); }

    void restart() { start_ = now(); }
    unsigned long elapsed_ms() const
    {
        const struct timespec present = now();
        const long long nanoseconds =
            (static_cast<long long>(present.tv_sec) - start_.tv_sec) * 1000000000LL +
            (present.tv_nsec - start_.tv_nsec);
        // A monotonic clock never goes back; a broken reading counts as no time.
        return nanoseconds <= 0 ? 0UL : static_cast<unsigned long>(nanoseconds / 1000000LL);
    }
    bool expired() const { return elapsed_ms() >= limit_ms_; }
    unsigned long remaining_ms() const
    {
        const unsigned long elapsed = elapsed_ms();
        return elapsed >= limit_ms_ ? 0 : limit_ms_ - elapsed;
    }

private:
    static struct timespec now()
    {
        struct timespec present {};
        (void)clock_seams::read_clock(CLOCK_MONOTONIC, &present);
        return present;
    }

    unsigned long limit_ms_;
    struct timespec start_ {};
};

// The polling pause of the waiting loops.
inline void pause_ms(unsigned long ms)
{
    if (ms > 0) ::usleep(static_cast<useconds_t>(std::min<unsigned long>(ms, 1000000UL) * 1000UL));
}

// A pause of at most `ms` that never reaches past the deadline: none once
// the time is up.
inline void pause_within(const Deadline &deadline, unsigned long ms)
{
    pause_ms(std::min(ms, deadline.remaining_ms()));
}

}  // namespace orvy::api
