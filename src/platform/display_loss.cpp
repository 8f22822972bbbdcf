// An Xlib I/O error handler. Xlib's own one exits through atexit, where Allegro tears the
// screen down under the presenter's running blit.
#include "platform/display_loss.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/surfaces.h"

namespace {

constexpr int display_lost_status = 3;

std::atomic<bool> leaving{false};
bool (*save_what_the_game_holds)() = nullptr;

// Holds the presenter's lock for good on a thread of its own, so no blit runs into the
// dead display. If the lock is not had soon, the presenter itself is the thread that
// found the loss, and it blits no more either.
void stop_presenter() {
    // Static: the holding thread may outlive this call when the wait below times out.
    static std::mutex m;
    static std::condition_variable held;
    static bool stopped = false;
    std::thread([] {
        presented_write hold_forever;
        {
            std::lock_guard<std::mutex> g(m);
            stopped = true;
        }
        held.notify_one();
        for (;;) pause();
    }).detach();
    std::unique_lock<std::mutex> g(m);
    held.wait_for(g, std::chrono::milliseconds(500), [] { return stopped; });
}

int on_display_lost(Display*) {
    // A second thread that finds the loss waits for the first to end the process.
    if (leaving.exchange(true)) for (;;) pause();
    stop_presenter();
    const bool saved = !save_what_the_game_holds || save_what_the_game_holds();
    std::fprintf(stderr, "blockdash: the connection to the display was lost; %s\n",
                 saved ? "highscores and statistics are saved" : "not everything could be saved");
    std::fflush(stderr);
    // _exit: the library's exit handlers would talk to the dead display again.
    _exit(display_lost_status);
}

}  // namespace

void end_in_order_on_display_loss(bool (*save)()) {
    save_what_the_game_holds = save;
    // A write to the dead connection must fail, not kill the game before the handler runs.
    std::signal(SIGPIPE, SIG_IGN);
    XSetIOErrorHandler(on_display_lost);
}
