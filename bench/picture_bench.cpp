// What drawing the round's picture over plain pixels costs, frame by frame, printed as
// `name: value unit` lines:
//   picture_bench ASSET_FOLDER REPLAY_FILE
// The replay plays on a clock that moves only when it waits, its picture drawn at each
// drawing step by the picture shell from the sheets read out of ASSET_FOLDER's "KZ IMAGE".
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "play/bmp_pixels.h"
#include "play/frame_picture.h"
#include "play/headless_replay.h"
#include "play/picture_shell.h"
#include "play/round_shell.h"
#include "play/round_replay.h"
#include "play/round_state.h"

namespace {

using bench_clock = std::chrono::steady_clock;

void (*draw_picture)() = nullptr;
std::vector<double> micros;

void timed_draw() {
    const auto start = bench_clock::now();
    draw_picture();
    micros.push_back(std::chrono::duration<double, std::micro>(bench_clock::now() - start).count());
}

bool read_sheet(const std::string& path, const pixel_format& format, pixel_canvas& out) {
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    return read_bmp_pixels(bytes.data(), bytes.size(), format, out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: picture_bench ASSET_FOLDER REPLAY_FILE\n");
        return 2;
    }
    const std::string images = std::string(argv[1]) + "/KZ IMAGE/";
    const pixel_format format;
    pixel_canvas player_sheet, title, background;
    picture_sheets sheets;
    if (!read_sheet(images + "player.bmp", format, player_sheet) || !read_sheet(images + "text.bmp", format, title) ||
        !read_sheet(images + "background.bmp", format, background) ||
        !make_picture_sheets(sheets, format, player_sheet, title, background)) {
        std::fprintf(stderr, "picture_bench: cannot read the pictures in %s\n", images.c_str());
        return 1;
    }
    static replay r;
    if (read_replay_file(argv[2], r) != replay_status::read) {
        std::fprintf(stderr, "picture_bench: cannot read the replay %s\n", argv[2]);
        return 1;
    }
    prepare_headless_replay();
    pixel_canvas picture(640, 480);
    use_picture_shell(picture, sheets, r.name);
    draw_picture = shell.draw_round;
    shell.draw_round = timed_draw;
    skip_drawing = false;
    const auto start = bench_clock::now();
    start_replay(r);
    while (play_replay_frame()) {
    }
    stop_replay();
    const double total_ms = std::chrono::duration<double, std::milli>(bench_clock::now() - start).count();
    std::printf("picture_frames: %zu frames\n", micros.size());
    std::printf("picture_draw_median: %.1f us\n", percentile(micros, 0.5));
    std::printf("picture_draw_p99: %.1f us\n", percentile(micros, 0.99));
    std::printf("picture_draw_max: %.1f us\n", percentile(micros, 1.0));
    std::printf("round_with_pictures: %.1f ms\n", total_ms);
    return 0;
}
