// Drawing of the play field and composition of the visible picture.
#include "play/render.h"

#include <algorithm>
#include <vector>

#include "platform/assets.h"
#include "platform/picture_area.h"
#include "platform/picture_size.h"
#include "platform/surfaces.h"
#include "play/cut_pieces.h"
#include "play/hud.h"
#include "play/round_input.h"
#include "play/round_state.h"
#include "play/sprites.h"
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
    BITMAP* sprite = player_pose_sprite();
    if (player.facing == 1)
        draw_sprite_h_flip(dest, sprite, player.x - 32, player.y - 32);
    else
        draw_sprite(dest, sprite, player.x - 32, player.y - 32);
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

void cover_sprite(area_list& areas, BITMAP* sprite, int left, int top) {
    if (sprite) areas.add({left, top, left + sprite->w, top + sprite->h});
}

// Popups are centred text of a few characters in Allegro's 8-pixel font.
void cover_text(area_list& areas, const popup& p) {
    constexpr int half_width = 64;  // 16 characters, more than any popup says
    if (p.timer > 0) areas.add({p.x - half_width, p.y, p.x + half_width, p.y + text_height(font)});
}

// What this frame's moving pictures cover: the blocks, the pieces, the player and the
// trail, the figures and popups of the heads-up display, a replay's label, the cursor.
area_list moving_areas(bool labelled) {
    area_list areas;
    for (const block_record& b : block) {
        if (b.active) cover_sprite(areas, block_pic[b.type], b.x - 32, b.y - 32);
        if (!b.cut || b.active) continue;
        const int d = b.cut_dir;
        cover_sprite(areas, cut_block[2 * d][b.type], b.x + b.split_x - 32, b.y + b.split_y - 32);
        cover_sprite(areas, cut_block[2 * d + 1][b.type], b.x - b.split_x - 32, b.y - b.split_y - 32);
    }
    cover_sprite(areas, player_pose_sprite(), player.x - 32, player.y - 32);
    if (!can_dash)
        areas.add({std::min(player.start_x, player.x), std::min(player.start_y, player.y),
                   std::max(player.start_x, player.x) + 1, std::max(player.start_y, player.y) + 1});
    areas.add({0, 30, field_left, 40 + text_height(font)});  // score
    areas.add({field_right + 1, 30, screen_w, 40 + text_height(font)});  // time
    for (const popup& p : got_combo) cover_text(areas, p);
    for (const popup* p : {&lost_time, &time_popup, &power_popup}) cover_text(areas, *p);
    if (labelled) areas.add({0, 400, screen_w, screen_h});
    cover_sprite(areas, aimer, round_in.x - 16, round_in.y - 16);
    return areas;
}

// Outside what moving pictures cover now or covered in the last frame, `frame` still
// holds the field as the last frame drew it, which is the field as this one would, and
// the presented picture holds the same: those pixels are neither drawn nor handed over
// again. The whole picture after anything else was shown in between (a banner, the pause
// menu), on a new stage, or when a wipe is due.
area_list last_moving;
int drawn_stage = -1;
unsigned writes_after = 0;
bool picture_known = false;

// The areas to draw, each drawn and handed over on its own.
area_list areas_to_draw(const area_list& moving) {
    const bool whole = draw_whole_frame || !picture_known || stage != drawn_stage || screen_lock ||
                       presented_writes() != writes_after;
    if (whole) return area_list{whole_picture};
    area_list areas;
    areas.add(moving);
    areas.add(last_moving);
    return areas;
}

// The side panels carry the heads-up display.
void compose_frame() {
    fill_area(frame, 0, 0, field_left - 1, 479, makecol(0, 0, 0));
    fill_area(frame, field_right + 1, 0, 639, 479, makecol(0, 0, 0));
    draw_hud(frame);
}

}  // namespace

bool draw_whole_frame = false;

void draw_round(void (*label)(BITMAP*)) {
    if (skip_drawing) {
        picture_known = false;
        return;
    }
    const area_list moving = moving_areas(label != nullptr);
    const area_list areas = areas_to_draw(moving);
    for (const picture_area& a : areas.parts()) {
        set_clip_rect(frame, a.left, a.top, a.right - 1, a.bottom - 1);
        draw_field(frame);
        compose_frame();
        if (label) label(frame);
        wipe_in_if_pending(frame);  // the first frame of a round (drawn whole), without the cursor
        draw_aimer_at(frame, round_in.x, round_in.y);  // where the round saw it, replayed or not
    }
    set_clip_rect(frame, 0, 0, screen_w - 1, screen_h - 1);
    for (const picture_area& a : areas.parts()) hand_over_area(frame, a);
    last_moving = moving;
    drawn_stage = stage;
    writes_after = presented_writes();
    picture_known = true;
}
