// The picture is drawn through the picture shell, only in the frames the page shows: a
// seek plays its frames without drawing, then draws the one it stops at.
#include "play/picture_module.h"

#include <vector>

#include "play/bmp_pixels.h"
#include "play/frame_picture.h"
#include "play/picture_shell.h"
#include "play/round_module.h"
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
    if (!sheets_ready) return 0;
    use_picture_shell(picture, sheets, label_name);
    skip_drawing = true;  // until a frame is to be shown
    return 1;
}

void picture_name(int32_t first, int32_t second, int32_t third) {
    label_name[0] = static_cast<char>(first);
    label_name[1] = static_cast<char>(second);
    label_name[2] = static_cast<char>(third);
}

int32_t round_step_drawn() {
    skip_drawing = !sheets_ready;
    const int32_t more = round_step();
    skip_drawing = true;
    return more;
}

uint32_t* round_picture() { return picture.pixels.data(); }
