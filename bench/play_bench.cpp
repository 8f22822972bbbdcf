// Figures for the round, printed as `name: value unit` lines.
//   blockdash_bench            frame work of a busy round, headless, without waiting
//   blockdash_bench --display  500 frames of a real round in a real window (needs DISPLAY
//                              and a working directory holding "KZ IMAGE" and "KZ SOUND")
#include <allegro.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/scratch_run.h"
#include "fixture/fake_host.h"
#include "fixture/stand_in_art.h"
#include "play/sprites.h"
#include "play/cut_pieces.h"
#include "platform/desktop_display.h"
#include "play/render.h"
#include "play/round.h"
#include "platform/assets.h"
#include "platform/host.h"
#include "app/lifecycle.h"
#include "app/screen_loop.h"
#include "ui/wipe.h"
#include "platform/surfaces.h"

namespace {

using testing_support::world;
using bench_clock = std::chrono::steady_clock;

double micros_between(bench_clock::time_point a, bench_clock::time_point b) {
    return std::chrono::duration<double, std::micro>(b - a).count();
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    return v[i];
}

int count_of(const std::vector<int>& v, int value) {
    return static_cast<int>(std::count(v.begin(), v.end(), value));
}

double cpu_seconds() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Effects stay silent; the bench only counts what the round asked for.
int dashes_started = 0;
int blocks_hit = 0;
void count_effect(int slot) {
    dashes_started += slot == 0;
    blocks_hit += slot == 4;
}

// Keeps the field full: fourteen falling blocks, the rest of the slots left for pieces.
void crowd_the_field(std::mt19937& rng) {
    int falling = 0;
    for (const block_record& b : block) falling += b.active;
    for (block_record& b : block) {
        if (falling >= 14) break;
        if (b.active || b.cut) continue;
        b = {};
        b.active = true;
        b.x = 192 + 32 * std::uniform_int_distribution<int>(0, 9)(rng);
        b.y = std::uniform_int_distribution<int>(-32, 380)(rng);
        b.speed = std::uniform_int_distribution<int>(2, 7)(rng);
        b.type = std::uniform_int_distribution<int>(0, 2)(rng);
        ++falling;
    }
}

// A click on a falling block every few frames, pressed for one frame.
void script_clicks(int frame_number, std::mt19937& rng) {
    if (frame_number % 8 == 1) {
        mouse_b = 0;
        return;
    }
    if (frame_number % 8 != 0) return;
    for (int tries = 0; tries < 20; ++tries) {
        const block_record& b = block[std::uniform_int_distribution<int>(0, block_slots - 1)(rng)];
        if (!b.active) continue;
        // Where the pointer must be on the window for the game to see this picture point.
        const picture_layout at = current_picture_layout();
        mouse_x = at.left + b.x * at.w / 640;
        mouse_y = at.top + std::min(b.y + 20, 470) * at.h / 480;
        mouse_b = 1;
        return;
    }
}

int headless_frame_work() {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(32);
    char why[256];
    const bool generated = load_assets(why, sizeof why) && prepare_round_sprites(why, sizeof why);
    stand_ins::reset_to_round(1);  // the stand-in art only where nothing was loaded
    std::mt19937 rng(1);
    std::vector<double> work;
    const int frames = 10000;
    for (int i = 0; i < 200 + frames; ++i) {
        crowd_the_field(rng);
        script_clicks(i, rng);
        time_left = std::max(time_left, 100);  // the round never ends
        const auto start = bench_clock::now();
        play_frame();
        const auto end = bench_clock::now();
        if (i >= 200) work.push_back(micros_between(start, end));
    }
    std::printf("frame_work_artwork: %s\n", generated ? "generated" : "stand-in");
    std::printf("frame_work_frames: %d frames\n", frames);
    std::printf("frame_work_median: %.1f us\n", percentile(work, 0.5));
    std::printf("frame_work_p99: %.1f us\n", percentile(work, 0.99));
    std::printf("frame_work_max: %.1f us\n", percentile(work, 1.0));
    std::printf("frame_work_dashes: %d dashes\n", count_of(world.sounds, 0));
    std::printf("frame_work_blocks_cut: %d blocks\n", count_of(world.sounds, 4));
    return 0;
}

int real_round_on_display() {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "blockdash_bench: --display needs DISPLAY\n");
        return 1;
    }
    const std::string run = enter_scratch_run_folder();
    if (run.empty()) {
        std::fprintf(stderr, "blockdash_bench: cannot prepare a run folder\n");
        return 1;
    }
    use_real_host();
    host.sound_requested = count_effect;
    if (!start_up(launch_options{})) {
        leave_scratch_run_folder(run);
        return 1;
    }
    std::mt19937 rng(2);
    game_state = state_play;
    screen_lock = true;
    start_round();
    const int frames = 500;
    std::vector<double> length_ms;
    double cpu_start = 0;
    auto wall_start = bench_clock::now();
    for (int i = 0; i < frames && game_state == state_play; ++i) {
        // The first frame holds the wipe and the stage-1 banner; it is timed apart.
        if (i == 1) {
            cpu_start = cpu_seconds();
            wall_start = bench_clock::now();
        }
        script_clicks(i, rng);
        const auto start = bench_clock::now();
        play_frame();
        length_ms.push_back(micros_between(start, bench_clock::now()) / 1000.0);
    }
    const double cpu = cpu_seconds() - cpu_start;
    const double wall = micros_between(wall_start, bench_clock::now()) / 1e6;
    shut_down();
    leave_scratch_run_folder(run);
    const std::vector<double> steady(length_ms.begin() + 1, length_ms.end());
    std::printf("display_frames: %zu frames\n", length_ms.size());
    std::printf("display_first_frame: %.1f ms\n", length_ms.front());
    std::printf("display_frame_min: %.2f ms\n", percentile(steady, 0.0));
    std::printf("display_frame_median: %.2f ms\n", percentile(steady, 0.5));
    std::printf("display_frame_mean: %.2f ms\n", 1000.0 * wall / static_cast<double>(steady.size()));
    std::printf("display_frame_p99: %.2f ms\n", percentile(steady, 0.99));
    std::printf("display_frame_max: %.2f ms\n", percentile(steady, 1.0));
    std::printf("display_cpu: %.1f percent\n", 100.0 * cpu / wall);
    std::printf("display_dashes: %d dashes\n", dashes_started);
    std::printf("display_blocks_cut: %d blocks\n", blocks_hit);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--display") == 0) return real_round_on_display();
    return headless_frame_work();
}
END_OF_MAIN()
