// Allegro's background thread on X11 reads the window's events every 10 ms, but it wakes
// every millisecond to look at the clock: a thousand wake-ups a second, most of an idle
// game's CPU time. This one keeps the library's contract (the callbacks and the interrupt
// lock) and sleeps instead: on the X connection, so events are read the moment they
// arrive, and until the next 10 ms while a sound driver has its own callback to run.
#include "platform/background_thread.h"

#include <allegro.h>
#include <xalleg.h>

#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>

#include "platform/monotonic_clock.h"

namespace {

constexpr int max_callbacks = 16;
constexpr long sound_period_ns = 10 * 1000 * 1000;
// With the X reader alone nothing is due between events; a slow tick still flushes.
constexpr long idle_period_ns = 100 * 1000 * 1000;
// A connection that stays readable must not make the thread spin.
constexpr long shortest_gap_ns = 2 * 1000 * 1000;

bg_func callbacks[max_callbacks];
int callback_count = 0;  // highest used slot + 1
pthread_t thread;
bool thread_alive = false;
volatile bool keep_running = false;
pthread_mutex_t cli_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t cli_cond = PTHREAD_COND_INITIALIZER;
int cli_count = 0;

// The X system's reader is registered first; anything after it (a sound driver) wants
// the library's regular 10 ms.
long period() { return callback_count > 1 ? sound_period_ns : idle_period_ns; }

// Sleeps until `due` or until the X server sends something.
void wait_for_events_until(long long due) {
    Display* d = _xwin.display;
    const long long left = due - monotonic_ns();
    if (left <= 0) return;
    if (!d) return sleep_until_ns(due);
    pollfd connection{ConnectionNumber(d), POLLIN, 0};
    if (poll(&connection, 1, static_cast<int>((left + 999999) / 1000000)) > 0 &&
        (connection.revents & (POLLERR | POLLNVAL)))
        sleep_until_ns(due);  // a closing connection: the reader will say so, or it is gone
}

void run_callbacks() {
    pthread_mutex_lock(&cli_mutex);
    while (cli_count > 0) pthread_cond_wait(&cli_cond, &cli_mutex);
    for (int i = 0; i < callback_count; ++i)
        if (callbacks[i]) callbacks[i](1);
    pthread_mutex_unlock(&cli_mutex);
}

void* run(void*) {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    long long due = monotonic_ns() + period();
    long long last_run = 0;
    while (keep_running) {
        wait_for_events_until(due);
        const long long now = monotonic_ns();
        if (now - last_run < shortest_gap_ns) sleep_until_ns(last_run + shortest_gap_ns);
        // After a long stall (a suspended process), carry on from now rather than catch up.
        if (now >= due) due = now - due > 1000000000LL ? now + period() : due + period();
        last_run = monotonic_ns();
        run_callbacks();
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

std::atomic<bool> started{false};

int start() {
    started = true;
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

}  // namespace

// The library's own manager for its background thread, exported though not in its public
// headers (the build checks that it is there): the one place it is used.
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

bool quiet_input_thread_running() { return started && _unix_bg_man == &_bg_man_pthreads && thread_alive; }
