// The picture is drawn through the round's shell, only for the frames the page shows: a
// seek plays its frames bare, then draws the one it stops at.
#include "play/picture_module.h"

#include <vector>

#include "play/bmp_pixels.h"
#include "play/frame_picture.h"
#include "play/round_module.h"
#include "play/round_shell.h"
#include "play/round_state.h"

namespace {

constexpr int sheet_count = 3;
// Red in the low byte: what a canvas's ImageData holds.
constexpr pixel_format canvas_format{0, 8, 16};

std::vector<uint8_t> sheet_files[sheet_count];
picture_sheets sheets;
bool sheets_ready = false;
pixel_canvas picture{640, 480};
char label_name[3] = {' ', ' ', ' '};

void draw_picture() {
    picture_extras extras;
    extras.pose = player.pose;
    extras.replay_name = label_name;
    draw_round_picture(picture, sheets, extras);
}

// The banner the game lays over the picture it has just shown, after the frame that raised the stage.
void stage_banner() { draw_stage_banner_picture(picture, sheets, stage); }
void time_out_banner() { draw_time_out_banner_picture(picture, sheets); }

}  // namespace

uint8_t* picture_sheet_bytes(int32_t which, int32_t size) {
    if (which < 0 || which >= sheet_count || size <= 0 || size > 8 * 1024 * 1024) return nullptr;
    sheet_files[which].assign(static_cast<size_t>(size), 0);
    return sheet_files[which].data();
}

int32_t picture_sheets_load() {
    pixel_canvas files[sheet_count];
    for (int i = 0; i < sheet_count; ++i)
        if (!read_bmp_pixels(sheet_files[i].data(), sheet_files[i].size(), canvas_format, files[i])) return 0;
    sheets_ready = make_picture_sheets(sheets, canvas_format, files[0], files[1], files[2]);
    return sheets_ready ? 1 : 0;
}

void picture_name(int32_t first, int32_t second, int32_t third) {
    label_name[0] = static_cast<char>(first);
    label_name[1] = static_cast<char>(second);
    label_name[2] = static_cast<char>(third);
}

int32_t round_step_drawn() {
    if (!sheets_ready) return round_step();
    const round_shell bare = shell;
    shell.draw_round = draw_picture;
    shell.stage_banner = stage_banner;
    shell.time_out_banner = time_out_banner;
    const int32_t more = round_step();
    shell = bare;
    return more;
}

uint32_t* round_picture() { return picture.pixels.data(); }
