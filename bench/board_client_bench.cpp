// The game's frame work in a busy round with the world table off, and on with a board
// that takes the connection and never answers, or answers a megabyte of garbage, to every
// notice and round. Printed as `name: value unit` lines: the median and p99 of play_frame plus the
// between-frames step, in microseconds, headless, without waiting (8000 frames a run).
#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_figures.h"
#include "fixture/fake_host.h"
#include "fixture/scripted_board.h"
#include "fixture/stand_in_art.h"
#include "play/round.h"
#include "ui/screen_state.h"
#include "world/board_link.h"
#include "world/board_round.h"

namespace {

using namespace testing_support;
using bench_clock = std::chrono::steady_clock;

// Fourteen falling blocks and a click every eighth frame: a busy round.
void keep_busy(int frame, std::mt19937& rng) {
    crowd_the_field(rng);
    mouse_x = 192 + (frame * 37) % 288;
    mouse_y = 200 + (frame * 13) % 250;
    mouse_b = frame % 8 == 0 ? 1 : 0;
}

struct figures {
    double median, p99;
};

figures frame_work(const std::string& board_url) {
    stand_ins::reset_to_round(1);
    if (!board_url.empty()) {
        board_settings s{board_url, new_player_key(), "---"};
        start_board(s);
        const auto deadline = bench_clock::now() + std::chrono::seconds(5);
        while (!board_ticket_in_hand() && bench_clock::now() < deadline) {
            board_between_frames();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        world.on_wait = [](int) { std::this_thread::sleep_for(std::chrono::microseconds(100)); };
    }
    game_state = state_play;
    start_round();
    if (!board_url.empty() && board_pauses_left() < 0) std::fprintf(stderr, "board_client_bench: no board round\n");
    world.on_wait = nullptr;
    std::mt19937 rng(1);
    std::vector<double> work;
    const int frames = 8000;  // 20 ticks
    for (int i = 0; i < 200 + frames; ++i) {
        keep_busy(i, rng);
        time_left = std::max(time_left, 100);  // the round never ends
        const auto start = bench_clock::now();
        play_frame();
        board_between_frames();
        const auto end = bench_clock::now();
        if (i >= 200) work.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    stop_board();
    return {percentile(work, 0.5), percentile(work, 0.99)};
}

// Tickets and the start's seed as a board gives them; everything after that as `how`.
scripted_board::rule hostile(scripted_answer (*how)()) {
    return [how](const seen_request& r) {
        const bool start = r.body.find("\"start\"") != std::string::npos;
        if (r.path == "/api/v1/tickets" || start) return polite_board(r, 77, 1);
        return how();
    };
}

}  // namespace

// Each case three times, interleaved, so a busy moment of the machine falls on all alike;
// the middle of the three figures is printed.
int main() {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(32);
    scripted_board hanging(hostile(hanging_answer));
    scripted_board flooding(hostile(garbage_answer));
    const std::string urls[3] = {"", hanging.url(), flooding.url()};
    const char* names[3] = {"off", "hanging", "garbage"};
    std::vector<double> medians[3], p99s[3];
    for (int run = 0; run < 3; ++run)
        for (int c = 0; c < 3; ++c) {
            const figures f = frame_work(urls[c]);
            medians[c].push_back(f.median);
            p99s[c].push_back(f.p99);
        }
    for (int c = 0; c < 3; ++c) {
        std::printf("board_%s_frame_work_median: %.1f us\n", names[c], percentile(medians[c], 0.5));
        std::printf("board_%s_frame_work_p99: %.1f us\n", names[c], percentile(p99s[c], 0.5));
    }
    std::printf("board_hanging_connections: %d\n", hanging.connections());
    std::printf("board_garbage_requests_answered: %zu requests\n", flooding.requests().size());
    return 0;
}
