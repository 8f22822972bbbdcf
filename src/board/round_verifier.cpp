// The worker that replays rounds: a clock that moves only when the round waits, so a whole
// round takes milliseconds, and the clock's reading after every frame kept for the timing rule.
#include "board/round_verifier.h"

#include <allegro.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/assets.h"
#include "platform/host.h"
#include "platform/surfaces.h"
#include "play/round_state.h"

namespace {

constexpr size_t queue_most = 256;

long long virtual_now = 0;  // microseconds
long long virtual_clock() { return virtual_now; }
void virtual_wait_until(long long when) { virtual_now = when > virtual_now ? when : virtual_now; }
void no_sound(int) {}
void no_music() {}

std::vector<int32_t>* clock_readings = nullptr;
void read_clock(int32_t frames) {
    if (clock_readings && frames >= 0 && static_cast<size_t>(frames) < clock_readings->size())
        (*clock_readings)[static_cast<size_t>(frames)] = static_cast<int32_t>(virtual_now / 1000);
}

struct job {
    const replay* r;
    verification result;
    bool finished = false;
};

std::mutex m;
std::condition_variable wake, finished;
std::deque<job*> queue;
bool stopping = false;
bool running = false;
std::thread worker;

void work() {
    for (;;) {
        std::unique_lock<std::mutex> hold(m);
        wake.wait(hold, [] { return stopping || !queue.empty(); });
        if (queue.empty()) return;
        job* j = queue.front();
        queue.pop_front();
        hold.unlock();
        j->result = verify_here(*j->r);
        hold.lock();
        j->finished = true;
        finished.notify_all();
    }
}

}  // namespace

bool make_verifier_surfaces() {
    set_color_depth(32);
    // The round moves its poses and walks its lines on surfaces even when nothing is shown.
    if (!buffer) buffer = create_bitmap(screen_w, screen_h);
    if (!player_panel) player_panel = create_bitmap(192, 64);
    if (!player.sprite) player.sprite = create_bitmap(64, 64);
    host = {virtual_clock, virtual_wait_until, no_sound, no_music, no_music};
    return buffer && player_panel && player.sprite;
}

verification verify_here(const replay& r) {
    verification v;
    v.clock_after.assign(static_cast<size_t>(r.frames) + 1, 0);
    virtual_now = 0;
    clock_readings = &v.clock_after;
    v.outcome = verify_replay(r, read_clock);
    clock_readings = nullptr;
    v.done = true;
    return v;
}

bool start_verifier(std::string& problem) {
    bool ready = false;
    std::mutex started_m;
    std::condition_variable started;
    bool answered = false;
    worker = std::thread([&] {
        // Allegro's globals are the worker's alone: it installs them and it alone uses them.
        const bool ok = install_allegro(SYSTEM_NONE, &errno, nullptr) == 0 && make_verifier_surfaces();
        {
            std::lock_guard<std::mutex> hold(started_m);
            ready = ok;
            if (!ok) problem = std::string("cannot start the rules' graphics library: ") + allegro_error;
            answered = true;
        }
        started.notify_one();
        if (ok) work();
    });
    std::unique_lock<std::mutex> hold(started_m);
    started.wait(hold, [&] { return answered; });
    hold.unlock();
    if (!ready) {
        worker.join();
        return false;
    }
    running = true;
    return true;
}

void stop_verifier() {
    if (!running) return;
    {
        std::lock_guard<std::mutex> hold(m);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
    running = false;
}

verification verify_on_worker(const replay& r) {
    job j{&r, {}, false};
    std::unique_lock<std::mutex> hold(m);
    if (stopping || !running || queue.size() >= queue_most) return {};
    queue.push_back(&j);
    wake.notify_one();
    finished.wait(hold, [&] { return j.finished; });
    return std::move(j.result);
}
