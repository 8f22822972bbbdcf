// The pace of an honest board round, printed as `name: value unit` lines: a busy round
// played by the game's own frame loop on the real clock, drawing every frame, on core 0
// with a busy loop on core 1; the moments its ticks and its end would be sent, against
// the round's own clock, and the board's timing rule on them.
//   pace_bench [SEED]
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "board/round_verifier.h"
#include "board/timing_rule.h"
#include "board_player.h"
#include "play/headless_replay.h"
#include "play/round_events.h"
#include "platform/monotonic_clock.h"

namespace {

void on_core(int core) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
}

// What the game would send, and when.
std::vector<stamped_notice> sent;

void note(int frames, notice_event e) {
    sent.push_back({static_cast<int64_t>(sent.size()), frames, e, monotonic_ms()});
}

const round_listener timer = {
    [](uint32_t*) { return false; },
    [](int frames) {
        if (frames % frames_between_ticks == 0) note(frames, notice_event::tick);
    },
    [](int) {},
    [](int) {},
    [](int frames) { note(frames, notice_event::end); },
    [] { return -1; },
    []() -> const char* { return nullptr; },
    [](int, uint32_t*) { return false; }};

}  // namespace

int main(int argc, char** argv) {
    const unsigned seed = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 27u;
    std::atomic<bool> done{false};
    std::thread busy([&] {
        on_core(1);
        volatile unsigned long spin = 0;
        while (!done.load(std::memory_order_relaxed)) spin = spin + 1;
    });
    on_core(0);
    const auto round = std::make_unique<replay>();
    listen_to_rounds(&timer);
    note(0, notice_event::start);  // the game sends its start before the first frame
    board_testing::play_round(seed, 25, "PCE", *round, true);
    listen_to_rounds(nullptr);
    done = true;
    busy.join();

    prepare_headless_replay();
    const verification v = verify_here(*round);
    const own_clock_reader exact = [&v](int32_t frames) {
        const int64_t ms = v.clock_after.at(static_cast<size_t>(frames));
        return own_clock{ms, ms};
    };
    // The end is timed on the frame before it, as the board does.
    auto own_at = [&](const stamped_notice& n) {
        return v.clock_after.at(static_cast<size_t>(n.event == notice_event::end ? n.frame - 1 : n.frame));
    };
    int64_t worst_stretch = 0, worst_round = 0;
    std::printf("stretches_late:");
    for (size_t i = 1; i < sent.size(); ++i) {
        const int64_t took = sent[i].at_ms - sent[i - 1].at_ms, own = own_at(sent[i]) - own_at(sent[i - 1]);
        std::printf(" %lld", static_cast<long long>(took - own));
        worst_stretch = std::max(worst_stretch, took - own);
        worst_round = std::max(worst_round, sent[i].at_ms - sent[0].at_ms - own_at(sent[i]));
    }
    std::printf(" ms\n");
    const int64_t played = sent.back().at_ms - sent.front().at_ms, own = own_at(sent.back());
    const timing_verdict verdict = check_timing(sent, round->frames, exact);
    std::printf("frames: %d\n", round->frames);
    std::printf("own_clock: %.3f s\n", own / 1000.0);
    std::printf("played: %.3f s\n", played / 1000.0);
    std::printf("slow: %.3f %%\n", 100.0 * static_cast<double>(played - own) / static_cast<double>(own));
    std::printf("worst_stretch_late: %lld ms\n", static_cast<long long>(worst_stretch));
    std::printf("worst_round_late: %lld ms\n", static_cast<long long>(worst_round));
    std::printf("stretch_allowance: %lld ms\n",
                static_cast<long long>(pace_allowance_ms(frames_between_ticks * 20, stretch_grace_ms)));
    std::printf("timing_rule: %s\n", verdict.fits ? "fits" : verdict.reason.c_str());
    return verdict.fits ? 0 : 1;
}
