// An Xlib I/O error handler. Xlib's own one exits through atexit, where Allegro tears the
// screen down under the presenter's running blit, and any thread may be the one to see the
// loss; so the records are saved by the main thread alone, between its frames.
#include "platform/display_loss.h"

#include <X11/Xlib.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

namespace {

constexpr int display_lost_status = 3;

std::atomic<bool> lost{false};
pthread_t main_thread;
bool (*save_what_the_game_holds)() = nullptr;
void (*end_process)(int status) = _exit;

bool on_main_thread() { return pthread_equal(pthread_self(), main_thread); }

[[noreturn]] void stop_this_thread() {
    for (;;) pause();
}

// Main thread only. _exit: the library's exit handlers would talk to the dead display.
void finish() {
    static bool finishing = false;
    if (finishing) return;
    finishing = true;
    const bool saved = !save_what_the_game_holds || save_what_the_game_holds();
    std::fprintf(stderr, "blockdash: the connection to the display was lost; %s\n",
                 saved ? "highscores and statistics are saved" : "not everything could be saved");
    std::fflush(stderr);
    end_process(display_lost_status);
}

int on_display_lost(Display*) {
    note_display_lost();
    stop_this_thread();  // Xlib exits when the handler returns
}

}  // namespace

void note_display_lost(bool stop_there) {
    lost = true;
    if (!stop_there) return;
    if (on_main_thread()) finish();
    // Elsewhere (the input thread, the presenter) this thread may hold the X lock or the
    // presenter's: it goes no further, and the main thread, which never waits on either
    // for good, sees the loss at its next checkpoint.
    stop_this_thread();
}

bool display_lost() { return lost; }

void finish_if_display_lost() {
    if (lost && on_main_thread()) finish();
}

void lock_unless_display_lost(std::timed_mutex& lock) {
    while (!lock.try_lock_for(std::chrono::milliseconds(10))) finish_if_display_lost();
}

void end_in_order_on_display_loss(bool (*save)(), void (*end)(int status)) {
    main_thread = pthread_self();
    save_what_the_game_holds = save;
    end_process = end ? end : _exit;
    // A write to the dead connection must fail, not kill the game before the handler runs.
    std::signal(SIGPIPE, SIG_IGN);
    XSetIOErrorHandler(on_display_lost);
}
