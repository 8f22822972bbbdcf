// Figures for the round, printed as `name: value unit` lines.
//   blockdash_bench            frame work of a busy round, headless, without waiting, and
//                              what recording its input costs a frame
//   blockdash_bench --replay [FILE]
//                              busy rounds recorded (a dash a second; two a second, which
//                              lasts the whole round): the replay's size and the processor
//                              time of --verify (the game beside this program); the whole
//                              round's replay written to FILE when one is named
//   blockdash_bench --display [FRAMES]
//                              FRAMES (default 500) of a real round in a real window (needs
//                              DISPLAY and a working directory holding "KZ IMAGE" and "KZ
//                              SOUND"): the period from the start of one frame to the start
//                              of the next, frames that held a stage banner left out, and
//                              the process's own processor time
#include <allegro.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
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

#include "bench/bench_figures.h"
#include "bench/scratch_run.h"
#include "fixture/fake_host.h"
#include "fixture/stand_in_art.h"
#include "play/sprites.h"
#include "play/cut_pieces.h"
#include "platform/desktop_display.h"
#include "platform/window_presenter.h"
#include "play/render.h"
#include "play/round.h"
#include "play/round_input.h"
#include "play/round_replay.h"
#include "records/highscore_table.h"
#include "platform/assets.h"
#include "platform/real_host.h"
#include "platform/mouse_presses.h"
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

int count_of(const std::vector<int>& v, int value) {
    return static_cast<int>(std::count(v.begin(), v.end(), value));
}

double cpu_seconds_of(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double cpu_seconds() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return cpu_seconds_of(u);
}

// Effects stay silent; the bench only counts what the round asked for.
int dashes_started = 0;
int blocks_hit = 0;
void count_effect(int slot) {
    dashes_started += slot == 0;
    blocks_hit += slot == 4;
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
        note_left_press(mouse_x, mouse_y);  // as the library's mouse callback would
        return;
    }
}

// What record_round_input adds to a frame: a pointer that moves every frame, a button
// now and then; timed in batches, since one call is far below the clock's grain.
double recording_cost_us() {
    std::mt19937 rng(3);
    std::vector<double> batches;
    for (int batch = 0; batch < 200; ++batch) {
        start_recording(1);
        const auto start = bench_clock::now();
        for (int i = 0; i < 100; ++i) {
            round_in.x = std::uniform_int_distribution<int>(0, 639)(rng) / 8 + 300;
            round_in.y = (i * 7) % 480;
            round_in.left = i % 50 == 0;
            round_in.any_button = round_in.left;
            record_round_input();
        }
        batches.push_back(micros_between(start, bench_clock::now()) / 100.0);
    }
    return percentile(batches, 0.5);
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
    std::printf("recording_per_frame_median: %.3f us\n", recording_cost_us());
    return 0;
}

// A hand that glides the pointer to the point whose dash will cut the most blocks near the
// floor where they will be then, clicks and lets go, and goes on to the next: the pointer
// moves on every frame.
struct gliding_hand {
    int frames_per_dash;
    int x = 320, y = 240, frames_to_go = 0;

    void move() {
        mouse_b = 0;
        if (frames_to_go == 0) frames_to_go = frames_per_dash;
        --frames_to_go;
        int target_x = 320, target_y = 300;
        best_target(frames_to_go + 4, &target_x, &target_y);
        x += (target_x - x) / (frames_to_go + 1);
        y += (target_y - y) / (frames_to_go + 1);
        mouse_x = x;
        mouse_y = y;
        if (frames_to_go == 0) {
            mouse_b = 1;
            note_left_press(mouse_x, mouse_y);  // as the library's mouse callback would
        }
    }

    // Where block `s` will be in `frames`, or false when it will have reached the floor.
    static bool ahead(int s, int frames, int* bx, int* by) {
        *bx = block[s].x;
        *by = block[s].y + block[s].speed * frames;
        return block[s].active && *by < 440;
    }

    static int lowest_ahead(int frames) {
        int lowest = -1000;
        for (int s = 0; s < block_slots; ++s) {
            int bx, by;
            if (ahead(s, frames, &bx, &by)) lowest = std::max(lowest, by);
        }
        return lowest;
    }

    // Blocks whose centres will lie within 36 pixels of the line from the player to (tx, ty).
    static int cut_by_dash_to(int tx, int ty, int frames) {
        const double dx = tx - player.x, dy = ty - player.y, length2 = dx * dx + dy * dy + 1;
        int n = 0;
        for (int s = 0; s < block_slots; ++s) {
            int bx, by;
            if (!ahead(s, frames, &bx, &by)) continue;
            const double t = std::clamp(((bx - player.x) * dx + (by - player.y) * dy) / length2, 0.0, 1.0);
            const double ex = player.x + t * dx - bx, ey = player.y + t * dy - by;
            n += ex * ex + ey * ey < 36 * 36;
        }
        return n;
    }

    // Through one of the blocks nearest the floor, which would cost time.
    static void best_target(int frames, int* tx, int* ty) {
        int best = 0;
        for (int s = 0; s < block_slots; ++s) {
            int bx, by;
            if (!ahead(s, frames, &bx, &by) || by < lowest_ahead(frames) - 120) continue;
            // Through the block and on beyond it, up to the top of the field.
            for (int beyond : {0, 60, 120, 240}) {
                const int ex = bx, ey = std::max(by - beyond, 20);
                const int n = cut_by_dash_to(ex, ey, frames);
                if (n > best) {
                    best = n;
                    *tx = ex;
                    *ty = ey;
                }
            }
        }
    }
};

// The game's own --verify on the file, as a player would run it; -1 when it cannot be run.
double verify_command_cpu(const std::string& game, const std::string& file, int* status) {
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        execl(game.c_str(), game.c_str(), "--verify", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    rusage u;
    if (wait4(pid, status, 0, &u) != pid) return -1;
    return cpu_seconds_of(u);
}

std::string game_beside(const char* bench_path) {
    std::string dir = bench_path;
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    return dir + "/../blockdash";
}

// One round played to its end by the hand; its replay's figures, prefixed by `name`.
bool replay_figures(const char* name, int frames_per_dash, const char* bench_path, const char* keep_as) {
    stand_ins::reset_to_round(11);
    skip_drawing = true;  // the recording is the same either way, and this is faster
    gliding_hand hand{frames_per_dash};
    while (game_state == state_play) {
        hand.move();
        play_frame();
    }
    if (!recorded_round_complete()) {
        std::fprintf(stderr, "blockdash_bench: the round did not record whole\n");
        return false;
    }
    std::memcpy(recorded_round.name, "BEN", 3);
    static uint8_t bytes[replay_file_room];
    const size_t size = write_replay_bytes(recorded_round, bytes);

    const double cpu_start = cpu_seconds();
    const replay_outcome o = verify_replay(recorded_round);
    const double in_process = cpu_seconds() - cpu_start;

    const std::string file = keep_as ? keep_as : "/tmp/blockdash_bench_replay.rpl";
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out || std::fwrite(bytes, 1, size, out) != size || std::fclose(out) != 0) {
        std::fprintf(stderr, "blockdash_bench: cannot write %s\n", file.c_str());
        return false;
    }
    int status = 0;
    const double command = verify_command_cpu(game_beside(bench_path), file, &status);
    if (!keep_as) std::remove(file.c_str());

    const int frames = recorded_round.frames;
    std::printf("%s_frames: %d frames (%.0f game seconds)\n", name, frames, frames / 39.0);
    std::printf("%s_dashes: %d dashes\n", name, count_of(world.sounds, 0));
    std::printf("%s_score: %d points\n", name, recorded_round.score);
    std::printf("%s_file_size: %zu bytes (%.2f per frame)\n", name, size, static_cast<double>(size) / frames);
    std::printf("%s_verify_in_process: %.4f s\n", name, in_process);
    std::printf("%s_verify_matches: %s\n", name, outcome_matches(recorded_round, o) ? "yes" : "no");
    if (command >= 0 && WIFEXITED(status) && WEXITSTATUS(status) != 127)
        std::printf("%s_verify_command_cpu: %.4f s (exit %d)\n", name, command, WEXITSTATUS(status));
    else
        std::printf("%s_verify_command_cpu: not measured (no game at %s)\n", name, game_beside(bench_path).c_str());
    return true;
}

// Named from where the bench was started, before it moves to its scratch folder.
std::string absolute(const char* path) {
    char here[PATH_MAX];
    if (path[0] == '/' || !getcwd(here, sizeof here)) return path;
    return std::string(here) + "/" + path;
}

int busy_round_replays(const char* bench_path, const char* keep_as) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(32);
    const std::string game = absolute(bench_path), kept = keep_as ? absolute(keep_as) : "";
    // The round's time-out saves the statistics: not beside the sources.
    const std::string run = enter_scratch_run_folder();
    if (run.empty()) {
        std::fprintf(stderr, "blockdash_bench: cannot prepare a run folder\n");
        return 1;
    }
    // A dash a second cannot keep every block off the floor, so that round ends early; two
    // a second last the whole 150 seconds and more.
    const bool made = replay_figures("dash_a_second", 50, game.c_str(), nullptr) &&
                      replay_figures("whole_round", 25, game.c_str(), keep_as ? kept.c_str() : nullptr);
    leave_scratch_run_folder(run);
    return made ? 0 : 1;
}

int real_round_on_display(int frames) {
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
    std::vector<double> length_ms;  // start of a frame to the start of the next
    int held = 0;                   // frames that held a stage banner, left out
    double cpu_start = 0;
    auto wall_start = bench_clock::now();
    double first_frame_ms = 0;
    auto start = bench_clock::now();
    bool last_held = true;  // the first frame holds the wipe and the stage-1 banner
    for (int i = 0; i <= frames && game_state == state_play; ++i) {
        const auto now = bench_clock::now();
        if (i == 1) {
            first_frame_ms = micros_between(start, now) / 1000.0;
            cpu_start = cpu_seconds();
            wall_start = now;
        } else if (i > 1) {
            if (last_held) ++held;
            else length_ms.push_back(micros_between(start, now) / 1000.0);
        }
        if (i == frames) break;
        start = now;
        script_clicks(i, rng);
        time_left = std::max(time_left, 100);  // the round lasts as long as the bench
        const int stage_before = stage;
        play_frame();
        last_held = i == 0 || stage != stage_before;
    }
    const double cpu = cpu_seconds() - cpu_start;
    const double wall = micros_between(wall_start, bench_clock::now()) / 1e6;
    shut_down();
    leave_scratch_run_folder(run);
    if (length_ms.empty()) {
        std::fprintf(stderr, "blockdash_bench: the round ended before its frames were timed\n");
        return 1;
    }
    const std::vector<double>& steady = length_ms;
    std::printf("display_frames: %zu frames\n", length_ms.size());
    std::printf("display_frames_held: %d frames (banners, left out)\n", held);
    std::printf("display_first_frame: %.1f ms\n", first_frame_ms);
    std::printf("display_frame_min: %.2f ms\n", percentile(steady, 0.0));
    std::printf("display_frame_median: %.3f ms\n", percentile(steady, 0.5));
    std::printf("display_frame_mean: %.3f ms\n", 1000.0 * wall / static_cast<double>(frames - 1));
    std::printf("display_frame_p99: %.2f ms\n", percentile(steady, 0.99));
    std::printf("display_frame_max: %.2f ms\n", percentile(steady, 1.0));
    std::printf("display_cpu: %.1f percent\n", 100.0 * cpu / wall);
    std::printf("display_dashes: %d dashes\n", dashes_started);
    std::printf("display_blocks_cut: %d blocks\n", blocks_hit);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--display") == 0)
        return real_round_on_display(argc > 2 ? std::max(2, std::atoi(argv[2])) : 500);
    if (argc > 1 && std::strcmp(argv[1], "--replay") == 0) return busy_round_replays(argv[0], argc > 2 ? argv[2] : nullptr);
    return headless_frame_work();
}
END_OF_MAIN()
