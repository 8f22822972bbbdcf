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

void draw_blocks() {
    for (const block_record& b : block)
        if (b.active) draw_sprite(buffer, block_pic[b.type], b.x - 32, b.y - 32);
    // Pieces go over every whole block.
    for (const block_record& b : block) {
        if (!b.cut || b.active) continue;
        const int d = b.cut_dir;
        draw_sprite(buffer, cut_block[2 * d][b.type], b.x + b.split_x - 32, b.y + b.split_y - 32);
        draw_sprite(buffer, cut_block[2 * d + 1][b.type], b.x - b.split_x - 32, b.y - b.split_y - 32);
    }
}

void draw_player() {
    if (player.facing == 1)
        draw_sprite_h_flip(buffer, player.sprite, player.x - 32, player.y - 32);
    else
        draw_sprite(buffer, player.sprite, player.x - 32, player.y - 32);
}

// The grey is filled only where the stage's band will not cover it: two full-screen
// fills a frame were the round's largest drawing cost.
void draw_field() {
    const int grey = makecol(40, 40, 40);
    if (stage > 0) {
        rectfill(buffer, 0, 0, 639, 183, grey);
        blit(background, buffer, 0, back_word[stage - 1], 0, 184, 640, 100);
        rectfill(buffer, 0, 284, 639, 479, grey);
    } else {
        rectfill(buffer, 0, 0, 639, 479, grey);
    }
    draw_blocks();
    if (!can_dash) line(buffer, player.start_x, player.start_y, player.x, player.y, makecol(64, 192, 255));
    draw_player();
}

// Only field columns 96 to 543 are seen; the side panels carry the heads-up display.
void compose_frame() {
    rectfill(frame, 0, 0, 95, 479, makecol(0, 0, 0));
    rectfill(frame, 544, 0, 639, 479, makecol(0, 0, 0));
    blit(buffer, frame, 96, 0, 96, 0, 448, 480);
    draw_hud(frame);
}

}  // namespace

void draw_round(void (*label)(BITMAP*)) {
    if (skip_drawing) return;
    draw_field();
    compose_frame();
    if (label) label(frame);
    wipe_in_if_pending(frame);  // the first frame of a round, without the cursor
    draw_aimer_at(frame, round_in.x, round_in.y);  // where the round saw it, replayed or not
    hand_over(frame);
}
