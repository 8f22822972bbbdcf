// Allegro's background thread on X11 reads the window's events every 10 ms, but it wakes
// every millisecond to look at the clock: a thousand wake-ups a second, most of an idle
// game's CPU time. This one keeps the library's contract (callbacks every 10 ms, the same
// interrupt lock) and sleeps until each 10 ms is due.
#include "shell/input_thread.h"

#include <allegro.h>
#include <xalleg.h>

#include <pthread.h>
#include <signal.h>

#include <ctime>

// Allegro's own event reader; exported by the library though not in its public headers.
extern "C" void _xwin_private_handle_input(void);

namespace {

constexpr int max_callbacks = 16;
constexpr long period_ns = 10 * 1000 * 1000;

bg_func callbacks[max_callbacks];
int callback_count = 0;  // highest used slot + 1
pthread_t thread;
bool thread_alive = false;
volatile bool keep_running = false;
pthread_mutex_t cli_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t cli_cond = PTHREAD_COND_INITIALIZER;
int cli_count = 0;

void next_tick(timespec& t) {
    t.tv_nsec += period_ns;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
}

void* run(void*) {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    timespec due;
    clock_gettime(CLOCK_MONOTONIC, &due);
    while (keep_running) {
        next_tick(due);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        // After a long stall (a suspended process), carry on from now rather than catch up.
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec > due.tv_sec + 1) due = now;

        pthread_mutex_lock(&cli_mutex);
        while (cli_count > 0) pthread_cond_wait(&cli_cond, &cli_mutex);
        for (int i = 0; i < callback_count; ++i)
            if (callbacks[i]) callbacks[i](1);
        pthread_mutex_unlock(&cli_mutex);
    }
    return nullptr;
}

void enable_interrupts() {
    pthread_mutex_lock(&cli_mutex);
    if (--cli_count == 0) pthread_cond_signal(&cli_cond);
    pthread_mutex_unlock(&cli_mutex);
}

void disable_interrupts() {
    pthread_mutex_lock(&cli_mutex);
    ++cli_count;
    pthread_mutex_unlock(&cli_mutex);
}

int interrupts_disabled() { return cli_count; }

int start() {
    for (bg_func& f : callbacks) f = nullptr;
    callback_count = 0;
    cli_count = 0;
    keep_running = true;
    thread_alive = pthread_create(&thread, nullptr, run, nullptr) == 0;
    return thread_alive ? 0 : -1;
}

void stop() {
    if (!thread_alive) return;
    keep_running = false;
    pthread_join(thread, nullptr);
    thread_alive = false;
}

int register_callback(bg_func f) {
    disable_interrupts();
    int i = 0;
    while (i < max_callbacks && callbacks[i]) ++i;
    const int result = i == max_callbacks ? -1 : 0;
    if (result == 0) {
        callbacks[i] = f;
        if (i == callback_count) ++callback_count;
    }
    enable_interrupts();
    return result;
}

int remove_callback(bg_func f) {
    int i = 0;
    while (i < callback_count && callbacks[i] != f) ++i;
    if (i == callback_count) return -1;
    callbacks[i] = nullptr;
    while (callback_count > 0 && !callbacks[callback_count - 1]) --callback_count;
    return 0;
}

// A callback that unregisters itself runs on this thread with the lock already held.
int unregister_callback(bg_func f) {
    if (thread_alive && pthread_equal(pthread_self(), thread)) return remove_callback(f);
    disable_interrupts();
    const int result = remove_callback(f);
    enable_interrupts();
    return result;
}

// Allegro's reader begins with a round trip to the X server every 10 ms; when no event
// is waiting, a flush is all that is needed. The reader's "warped" mode, which follows the
// pointer by relative motion and pulls the desktop's pointer back into the window, is for
// games that read mickeys; this one reads positions, in a window that moves, so it stays off.
void read_events_when_pending() {
    if (!_xwin.display) return;
    _xwin.mouse_warped = 0;
    if (XPending(_xwin.display)) _xwin_private_handle_input();
}

}  // namespace

void read_x_events_only_when_pending() { _xwin_input_handler = read_events_when_pending; }

void use_quiet_input_thread() {
    _bg_man_pthreads = {1,
                        start,
                        stop,
                        register_callback,
                        unregister_callback,
                        enable_interrupts,
                        disable_interrupts,
                        interrupts_disabled};
}
