// The program's one clock: monotonic wall time, to the nanosecond, and a sleep that ends
// at a moment on it. Anything that measures time or waits reads this clock; the game's
// floors read it through the host seam (host.h), so tests can put a fake in its place.
#pragma once

long long monotonic_ns();

inline long long monotonic_ms() { return monotonic_ns() / 1000000; }

// Sleeps until monotonic_ns() reaches `when` (at once when it has). A signal does not end
// it early.
void sleep_until_ns(long long when);

// Asks the kernel to wake this thread within a few microseconds of its deadlines rather
// than the 50 us it may otherwise add to group wake-ups.
void wake_this_thread_on_time();
