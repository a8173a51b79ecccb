// Time limits and pauses of the library's waiting loops: a limit is measured
// with a toolbox time stamp taken at the start and its age in milliseconds.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "Orvy_Tb.h"

namespace orvy::api {

class Deadline {
public:
    explicit Deadline(unsigned long limit_ms) : limit_ms_(limit_ms) { restart(); }

    void restart() { orvy_tb_set_time_stamp(&start_); }
    unsigned long elapsed_ms() { return orvy_tb_calc_age_in_ms(&start_); }
    bool expired() { return elapsed_ms() >= limit_ms_; }
    unsigned long remaining_ms()
    {
        const unsigned long elapsed = elapsed_ms();
        return elapsed >= limit_ms_ ? 0 : limit_ms_ - elapsed;
    }

private:
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
inline void pause_within(Deadline &deadline, unsigned long ms)
{
    pause_ms(std::min(ms, deadline.remaining_ms()));
}

}  // namespace orvy::api
