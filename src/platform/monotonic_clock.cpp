// CLOCK_MONOTONIC: never set back, never paused by a changed date.
#include "platform/monotonic_clock.h"

#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

long long monotonic_ns() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

void sleep_until_ns(long long when) {
    const timespec t{static_cast<time_t>(when / 1000000000LL), static_cast<long>(when % 1000000000LL)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

void wake_this_thread_on_time() { prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL); }
