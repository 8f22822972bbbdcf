// The worker that replays rounds headless, so a whole round takes milliseconds, with the
// round's clock after every frame kept for the timing rule.
#include "board/round_verifier.h"

#include <allegro.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "play/headless_replay.h"

namespace {

constexpr size_t queue_most = 256;

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

verification verify_here(const replay& r) {
    verification v;
    v.outcome = replay_headless(r, &v.clock_after);
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
        const bool ok = install_allegro(SYSTEM_NONE, &errno, nullptr) == 0 && prepare_headless_replay();
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
