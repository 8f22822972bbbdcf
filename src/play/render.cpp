// Drawing of the play field and composition of the visible picture.
#include "play/render.h"

#include "platform/assets.h"
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

// The side panels carry the heads-up display.
void compose_frame() {
    fill_area(frame, 0, 0, field_left - 1, 479, makecol(0, 0, 0));
    fill_area(frame, field_right + 1, 0, 639, 479, makecol(0, 0, 0));
    draw_hud(frame);
}

}  // namespace

void draw_round(void (*label)(BITMAP*)) {
    if (skip_drawing) return;
    draw_field(frame);
    compose_frame();
    if (label) label(frame);
    wipe_in_if_pending(frame);  // the first frame of a round, without the cursor
    draw_aimer_at(frame, round_in.x, round_in.y);  // where the round saw it, replayed or not
    hand_over(frame);
}
