// Preloaded into COMMAND next to umockdev's library. That library ends every
// emulated ioctl with usleep(0), to let other threads take its socket lock.
// A zero sleep still waits out the thread's timer slack (50 µs by default):
// three such waits for each emulated USB transfer, which a real bus does not
// have. A yield gives the other threads the same chance without the wait.
#include <sched.h>
#include <time.h>
#include <unistd.h>

extern "C" __attribute__((visibility("default"))) int usleep(useconds_t microseconds)
{
    if (microseconds == 0) return sched_yield();
    // What the C library's usleep does.
    const timespec duration{static_cast<time_t>(microseconds / 1000000),
                            static_cast<long>(microseconds % 1000000) * 1000};
    return nanosleep(&duration, nullptr);
}
