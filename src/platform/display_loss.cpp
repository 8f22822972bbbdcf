// A lost display, as Xlib's I/O error handler tells it (desktop_display.cpp). Xlib's own
// handler exits through atexit, where Allegro tears the screen down under the presenter's running blit, and any thread may be the one to see the
// loss; so the records are saved by the main thread alone, between its frames.
#include "platform/display_loss.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/desktop_hooks.h"
#include "platform/monotonic_clock.h"

namespace {

constexpr int display_lost_status = 3;

// How long a thread parked by the loss gives the main thread to end the game itself, and
// how long it then waits for a save under way: the game ends within 3 s in all.
constexpr long long main_thread_grace_ms = 1000;
constexpr long long save_under_way_ms = 1500;

std::atomic<bool> lost{false};
pthread_t main_thread;
bool (*save_what_the_game_holds)() = nullptr;
void (*end_process)(int status) = _exit;

// Set by the thread that ends the game; the other one stops where it is.
std::atomic<bool> finishing{false};
// Shut-down's save: -1 before it, else whether everything was saved.
std::atomic<int> saved_at_shut_down{-1};
// Held while the records are written, so two threads never write them at once.
std::recursive_mutex records_writer;

bool on_main_thread() { return pthread_equal(pthread_self(), main_thread); }

[[noreturn]] void stop_this_thread() {
    for (;;) pause();
}

void say_and_end(bool saved) {
    std::fprintf(stderr, "blockdash: the connection to the display was lost; %s\n",
                 saved ? "highscores and statistics are saved" : "not everything could be saved");
    std::fflush(stderr);
    end_process(display_lost_status);
}

// _exit: the library's exit handlers would talk to the dead display. The records are saved
// once: not again when shut-down has saved them.
void finish() {
    if (finishing.exchange(true)) {
        if (on_main_thread() && end_process != _exit) return;  // tests go on
        stop_this_thread();
    }
    const int final_save = saved_at_shut_down;
    say_and_end(final_save >= 0 ? final_save == 1 : !save_what_the_game_holds || save_what_the_game_holds());
}

// A thread other than the main one found the loss and may hold the X lock, the timer's or
// the music's, which the main thread may be waiting for, and never get (the library's exit
// waits for the X lock). So this thread ends the game when the main thread has not: at
// once when shut-down has saved, else after a grace, saving when no save is under way.
[[noreturn]] void end_for_a_stuck_main_thread() {
    const long long found = monotonic_ms();
    while (monotonic_ms() - found < main_thread_grace_ms && saved_at_shut_down < 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (saved_at_shut_down >= 0 || !save_what_the_game_holds) {
        finish();
        stop_this_thread();
    }
    const long long waited_from = monotonic_ms();
    bool writer_free = false;
    while (!(writer_free = records_writer.try_lock()) && monotonic_ms() - waited_from < save_under_way_ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!writer_free) {
        if (!finishing.exchange(true)) say_and_end(false);
        stop_this_thread();
    }
    finish();
    stop_this_thread();
}

}  // namespace

void note_display_lost(bool stop_there) {
    lost = true;
    if (!stop_there) return;
    if (on_main_thread()) finish();
    // Elsewhere (the input thread, the presenter) this thread may hold the X lock or the
    // presenter's: it goes no further, and the main thread, which never waits on either
    // for good, sees the loss at its next checkpoint.
    end_for_a_stuck_main_thread();
}

void begin_writing_records() { records_writer.lock(); }
void end_writing_records() { records_writer.unlock(); }

void records_saved_for_good(bool saved) {
    saved_at_shut_down = saved ? 1 : 0;
    finish_if_display_lost();
}

bool display_lost() { return lost; }

void finish_if_display_lost() {
    if (lost && on_main_thread()) finish();
}

// Plain tries with short sleeps between them, not a timed wait: ThreadSanitizer cannot
// follow the clock-based lock that a timed wait takes.
void lock_unless_display_lost(std::timed_mutex& lock) {
    for (int tries = 1; !lock.try_lock(); ++tries) {
        if (tries % 50 == 0) finish_if_display_lost();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void end_in_order_on_display_loss(bool (*save)(), void (*end)(int status)) {
    main_thread = pthread_self();
    save_what_the_game_holds = save;
    end_process = end ? end : _exit;
    // A write to the dead connection must fail, not kill the game before the handler runs.
    std::signal(SIGPIPE, SIG_IGN);
    desktop.watch_for_display_loss();
}
