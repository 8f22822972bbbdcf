// Drawing of the play field and composition of the visible picture.
#include "play/render.h"

#include <algorithm>
#include <bitset>
#include <vector>

#include "platform/assets.h"
#include "platform/picture_size.h"
#include "platform/surfaces.h"
#include "play/cut_pieces.h"
#include "play/hud.h"
#include "play/round_input.h"
#include "play/round_state.h"
#include "ui/aimer.h"
#include "ui/wipe.h"

namespace {

// The field is drawn straight into `frame`: only its columns 96 to 543 are seen, and the
// side panels are painted over the rest afterwards.
constexpr int field_left = 96, field_right = 543;

void draw_blocks(BITMAP* dest) {
    for (const block_record& b : block)
        if (b.active) draw_sprite(dest, block_pic[b.type], b.x - 32, b.y - 32);
    // Pieces go over every whole block.
    for (const block_record& b : block) {
        if (!b.cut || b.active) continue;
        const int d = b.cut_dir;
        draw_sprite(dest, cut_block[2 * d][b.type], b.x + b.split_x - 32, b.y + b.split_y - 32);
        draw_sprite(dest, cut_block[2 * d + 1][b.type], b.x - b.split_x - 32, b.y - b.split_y - 32);
    }
}

void draw_player(BITMAP* dest) {
    if (player.facing == 1)
        draw_sprite_h_flip(dest, player.sprite, player.x - 32, player.y - 32);
    else
        draw_sprite(dest, player.sprite, player.x - 32, player.y - 32);
}

// The grey is filled only where it is seen and the stage's band will not cover it.
void draw_field(BITMAP* dest) {
    const int grey = makecol(40, 40, 40);
    if (stage > 0) {
        fill_area(dest, field_left, 0, field_right, 183, grey);
        blit(background, dest, field_left, back_word[stage - 1], field_left, 184, field_right + 1 - field_left, 100);
        fill_area(dest, field_left, 284, field_right, 479, grey);
    } else {
        fill_area(dest, field_left, 0, field_right, 479, grey);
    }
    draw_blocks(dest);
    if (!can_dash) line(dest, player.start_x, player.start_y, player.x, player.y, makecol(64, 192, 255));
    draw_player(dest);
}

// Rows of the picture, one bit each.
using row_set = std::bitset<screen_h>;

void cover(row_set& rows, int first, int last) {
    for (int y = std::max(first, 0); y <= std::min(last, screen_h - 1); ++y) rows.set(y);
}

void cover_sprite(row_set& rows, BITMAP* sprite, int top) {
    if (sprite) cover(rows, top, top + sprite->h - 1);
}

void cover_text(row_set& rows, const popup& p) {
    if (p.timer > 0) cover(rows, p.y, p.y + text_height(font) - 1);
}

// The rows this frame's moving pictures cover: the blocks, the pieces, the player and the
// trail, the figures and popups of the heads-up display, a replay's label, the cursor.
row_set moving_rows(bool labelled) {
    row_set rows;
    for (const block_record& b : block) {
        if (b.active) cover_sprite(rows, block_pic[b.type], b.y - 32);
        if (!b.cut || b.active) continue;
        const int d = b.cut_dir;
        cover_sprite(rows, cut_block[2 * d][b.type], b.y + b.split_y - 32);
        cover_sprite(rows, cut_block[2 * d + 1][b.type], b.y - b.split_y - 32);
    }
    cover_sprite(rows, player.sprite, player.y - 32);
    if (!can_dash) cover(rows, std::min(player.start_y, player.y), std::max(player.start_y, player.y));
    cover(rows, 30, 40 + text_height(font) - 1);  // score and time
    for (const popup& p : got_combo) cover_text(rows, p);
    for (const popup* p : {&lost_time, &time_popup, &power_popup}) cover_text(rows, *p);
    if (labelled) cover(rows, 400, screen_h - 1);
    cover_sprite(rows, aimer, round_in.y - 16);
    return rows;
}

// Outside the rows moving pictures cover now or covered in the last frame, `frame` still
// holds the field as the last frame drew it, which is the field as this one would: those
// rows are neither drawn nor compared again. The whole picture after anything else was
// shown in between (a banner, the pause menu), on a new stage, or when a wipe is due.
row_set last_moving;
int drawn_stage = -1;
unsigned writes_after = 0;
bool rows_known = false;

struct row_run {
    int top, bottom;  // rows [top, bottom)
};

// The rows to draw as runs; runs a few rows apart are drawn as one.
std::vector<row_run> runs_to_draw(const row_set& moving) {
    const bool whole = draw_every_row || !rows_known || stage != drawn_stage || screen_lock ||
                       presented_writes() != writes_after;
    if (whole) return {{0, screen_h}};
    const row_set rows = moving | last_moving;
    constexpr int close = 16;
    std::vector<row_run> runs;
    for (int y = 0; y < screen_h; ++y) {
        if (!rows[y]) continue;
        if (!runs.empty() && y - runs.back().bottom < close) runs.back().bottom = y + 1;
        else runs.push_back({y, y + 1});
    }
    return runs;
}

// The side panels carry the heads-up display.
void compose_frame() {
    fill_area(frame, 0, 0, field_left - 1, 479, makecol(0, 0, 0));
    fill_area(frame, field_right + 1, 0, 639, 479, makecol(0, 0, 0));
    draw_hud(frame);
}

}  // namespace

bool draw_every_row = false;

void draw_round(void (*label)(BITMAP*)) {
    if (skip_drawing) {
        rows_known = false;
        return;
    }
    const row_set moving = moving_rows(label != nullptr);
    const std::vector<row_run> runs = runs_to_draw(moving);
    for (const row_run& run : runs) {
        set_clip_rect(frame, 0, run.top, screen_w - 1, run.bottom - 1);
        draw_field(frame);
        compose_frame();
        if (label) label(frame);
        wipe_in_if_pending(frame);  // the first frame of a round (drawn whole), without the cursor
        draw_aimer_at(frame, round_in.x, round_in.y);  // where the round saw it, replayed or not
    }
    set_clip_rect(frame, 0, 0, screen_w - 1, screen_h - 1);
    for (const row_run& run : runs) hand_over_rows(frame, run.top, run.bottom);
    last_moving = moving;
    drawn_stage = stage;
    writes_after = presented_writes();
    rows_known = true;
}
