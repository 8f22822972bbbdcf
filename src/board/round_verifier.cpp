// The worker that replays rounds headless, so a whole round takes milliseconds, with the
// round's clock after every frame kept for the timing rule.
// The verifier thread alone touches the rules' globals; the pool threads only queue jobs
// and wait on them.
#include "board/round_verifier.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "play/headless_replay.h"

namespace {

constexpr size_t jobs_most = 256;

struct job {
    const replay* r;
    verification result;
    bool finished = false;
};

std::mutex queue_lock;
std::condition_variable job_waiting, job_done;
std::deque<job*> jobs;
bool verifier_stopping = false;
bool verifier_running = false;
std::thread verifier_thread;

void run_jobs() {
    for (;;) {
        std::unique_lock<std::mutex> hold(queue_lock);
        job_waiting.wait(hold, [] { return verifier_stopping || !jobs.empty(); });
        if (jobs.empty()) return;
        job* j = jobs.front();
        jobs.pop_front();
        hold.unlock();
        j->result = verify_here(*j->r);
        hold.lock();
        j->finished = true;
        job_done.notify_all();
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
    try {
        verifier_thread = std::thread([] {
            prepare_headless_replay();  // the host is the worker's alone, like the rest of the rules
            run_jobs();
        });
    } catch (const std::system_error& e) {
        problem = std::string("cannot start the verifier's thread: ") + e.what();
        return false;
    }
    verifier_running = true;
    return true;
}

void stop_verifier() {
    if (!verifier_running) return;
    {
        std::lock_guard<std::mutex> hold(queue_lock);
        verifier_stopping = true;
    }
    job_waiting.notify_all();
    verifier_thread.join();
    verifier_running = false;
}

verification verify_on_worker(const replay& r) {
    job j{&r, {}, false};
    std::unique_lock<std::mutex> hold(queue_lock);
    if (verifier_stopping || !verifier_running || jobs.size() >= jobs_most) return {};
    jobs.push_back(&j);
    job_waiting.notify_one();
    job_done.wait(hold, [&] { return j.finished; });
    return std::move(j.result);
}
