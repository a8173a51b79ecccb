#include "Orvy_Tb.h"

namespace {

constexpr long kNanosecondsPerSecond = 1000000000L;
constexpr unsigned long kMillisecondsPerSecond = 1000UL;
constexpr long kNanosecondsPerMillisecond = 1000000L;

// Differences are formed in unsigned arithmetic and converted back, so that
// stamps far apart wrap instead of overflowing a signed type.
template <typename T>
T wrapping_difference(T later, T earlier)
{
    return static_cast<T>(static_cast<unsigned long>(later) - static_cast<unsigned long>(earlier));
}

template <typename T>
T wrapping_sum(T a, T b)
{
    return static_cast<T>(static_cast<unsigned long>(a) + static_cast<unsigned long>(b));
}

}  // namespace

void orvy_tb_set_time_stamp(struct timespec *ts_start)
{
    if (ts_start == nullptr) return;
    // A failed read is not reported; the stamp then keeps what it held.
    (void)clock_gettime(CLOCK_REALTIME, ts_start);
}

unsigned long orvy_tb_calc_age_in_ms(struct timespec *ts_start)
{
    unsigned long ulMsEllapsed = 0;
    struct timespec tsActual {};

    if (ts_start != nullptr && clock_gettime(CLOCK_REALTIME, &tsActual) >= 0) {
        // The absolute distance: a clock set back after the stamp still gives
        // a small positive age, never a wrapped one.
        struct timespec tsEllapsed {};
        orvy_tb_get_delta_ts(&tsActual, ts_start, &tsEllapsed);
        orvy_tb_convert_ts_to_ms(&tsEllapsed, &ulMsEllapsed);
    }
    return ulMsEllapsed;
}

void orvy_tb_convert_ts_to_ms(struct timespec *ts, unsigned long *ms)
{
    if (ts == nullptr || ms == nullptr) return;
    // unsigned long on purpose: a span too wide for it wraps, well defined.
    *ms = static_cast<unsigned long>(ts->tv_sec) * kMillisecondsPerSecond +
          static_cast<unsigned long>(ts->tv_nsec / kNanosecondsPerMillisecond);
}

void orvy_tb_get_delta_ts(struct timespec *ts1, struct timespec *ts2, struct timespec *delta)
{
    if (ts1 == nullptr || ts2 == nullptr || delta == nullptr) return;

    // Both inputs are read before delta is written, so delta may alias either.
    const struct timespec first = *ts1;
    const struct timespec second = *ts2;
    const bool second_is_earlier = second.tv_sec < first.tv_sec || (second.tv_sec == first.tv_sec &&
                                                                    second.tv_nsec < first.tv_nsec);
    const struct timespec &earlier = second_is_earlier ? second : first;
    const struct timespec &later = second_is_earlier ? first : second;

    struct timespec result {};
    result.tv_sec = wrapping_difference(later.tv_sec, earlier.tv_sec);
    result.tv_nsec = wrapping_difference(later.tv_nsec, earlier.tv_nsec);
    if (result.tv_nsec < 0) {
        result.tv_sec = wrapping_difference(result.tv_sec, static_cast<time_t>(1));
        result.tv_nsec = wrapping_sum(result.tv_nsec, kNanosecondsPerSecond);
    }
    *delta = result;
}
