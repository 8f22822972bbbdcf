// The round's picture over plain pixels: the same steps, order and places as the game's
// drawing (render, hud, the cut pieces, the cursor), with the drawing calls of pixel_canvas.
#include "play/frame_picture.h"

#include <algorithm>
#include <cstdio>

#include "platform/stage_bands.h"
#include "play/pixel_font.h"
#include "play/round_state.h"

namespace {

constexpr int field_left = 96, field_right = 543;

// The cut pieces of one block type, as start-up cuts them: the straight ones copied on the
// mask colour, the diagonal ones with a triangle painted out.
void cut_pieces(picture_sheets& s, int type) {
    struct straight { int kind, sx, sy, w, h; };
    static const straight straights[4] = {{2, 0, 0, 31, 64}, {3, 32, 0, 32, 64}, {0, 0, 0, 64, 31}, {1, 0, 32, 64, 32}};
    struct corner { int kind, x1, y1, x2, y2, x3, y3; };
    static const corner corners[4] = {{4, 0, 0, 64, 0, 64, 64}, {5, 0, 0, 0, 64, 64, 64},
                                      {6, 64, 0, 64, 64, 0, 64}, {7, 64, 0, 0, 0, 0, 64}};
    const pixel_canvas& block = s.block_pic[type];
    for (const straight& p : straights) {
        pixel_canvas& piece = s.cut_block[p.kind][type] = pixel_canvas(64, 64, mask_colour);
        paint::blit(block, piece, p.sx, p.sy, p.sx, p.sy, p.w, p.h);
    }
    for (const corner& m : corners) {
        pixel_canvas& piece = s.cut_block[m.kind][type] = block;
        paint::fill_triangle(piece, m.x1, m.y1, m.x2, m.y2, m.x3, m.y3, mask_colour);
    }
}

// A white cross with a transparent centre.
void make_aimer(pixel_canvas& aimer, uint32_t white) {
    aimer = pixel_canvas(32, 32, mask_colour);
    paint::draw_vline(aimer, 16, 0, 32, white);
    paint::draw_hline(aimer, 0, 16, 32, white);
    paint::fill_rect(aimer, 13, 13, 18, 18, mask_colour);
}

pixel_canvas part_of(const pixel_canvas& sheet, int x, int y, int w, int h) {
    pixel_canvas part(w, h);
    paint::blit(sheet, part, x, y, 0, 0, w, h);
    return part;
}

void draw_blocks(pixel_canvas& dest, const picture_sheets& s) {
    for (const block_record& b : block)
        if (b.active) paint::draw_sprite(dest, s.block_pic[b.type], b.x - 32, b.y - 32);
    for (const block_record& b : block) {
        if (!b.cut || b.active) continue;
        const int d = b.cut_dir;
        paint::draw_sprite(dest, s.cut_block[2 * d][b.type], b.x + b.split_x - 32, b.y + b.split_y - 32);
        paint::draw_sprite(dest, s.cut_block[2 * d + 1][b.type], b.x - b.split_x - 32, b.y - b.split_y - 32);
    }
}

void draw_player(pixel_canvas& dest, const picture_sheets& s, int pose) {
    const pixel_canvas sprite = part_of(s.player_panel, pose, 0, 64, 64);
    if (player.facing == 1) paint::draw_sprite_h_flip(dest, sprite, player.x - 32, player.y - 32);
    else paint::draw_sprite(dest, sprite, player.x - 32, player.y - 32);
}

void draw_field(pixel_canvas& dest, const picture_sheets& s, int pose) {
    const uint32_t grey = s.format.colour(40, 40, 40);
    if (stage > 0) {
        // The cap on blocks cut keeps the stage at five at most; the table is guarded all the same.
        const int band = std::min(stage, stage_bands) - 1;
        paint::fill_rect(dest, field_left, 0, field_right, 183, grey);
        paint::blit(s.background, dest, field_left, stage_band_top[band], field_left, 184, field_right + 1 - field_left, 100);
        paint::fill_rect(dest, field_left, 284, field_right, 479, grey);
    } else {
        paint::fill_rect(dest, field_left, 0, field_right, 479, grey);
    }
    draw_blocks(dest, s);
    if (!can_dash) paint::draw_line(dest, player.start_x, player.start_y, player.x, player.y, s.format.colour(64, 192, 255));
    draw_player(dest, s, pose);
}

void draw_popup(pixel_canvas& dest, const popup& p, const char* text, uint32_t white) {
    if (p.timer > 0) paint::textout_centre(dest, text, p.x, p.y, white);
}

void draw_hud(pixel_canvas& dest, const pixel_format& format) {
    const uint32_t white = format.colour(255, 255, 255);
    char text[64];
    paint::textout(dest, "Score", 20, 30, white);
    std::snprintf(text, sizeof text, "%i", 10 * player.score);
    paint::textout_right(dest, text, 60, 40, white);
    paint::textout(dest, "Time", 580, 30, white);
    std::snprintf(text, sizeof text, "%i'%i.%i", time_left / 60, time_left % 60, 39 - play_time[0]);
    paint::textout(dest, text, 570, 40, white);
    for (int k = 0; k < hit_popups; ++k) {
        std::snprintf(text, sizeof text, "%i hit", k + 1);
        draw_popup(dest, got_combo[k], text, white);
    }
    draw_popup(dest, lost_time, "-5 sec", white);
    std::snprintf(text, sizeof text, "+%i sec", time_bonus);
    draw_popup(dest, time_popup, text, white);
    std::snprintf(text, sizeof text, "score X %i", power_factor);
    draw_popup(dest, power_popup, text, white);
}

void draw_label(pixel_canvas& dest, const picture_extras& extras, const pixel_format& format) {
    if (extras.replay_name) {
        const char name[4] = {extras.replay_name[0], extras.replay_name[1], extras.replay_name[2], 0};
        paint::textout(dest, "REPLAY", 16, 440, format.colour(255, 255, 0));
        paint::textout(dest, name, 16, 452, format.colour(255, 255, 255));
    } else if (extras.quiet_line) {
        paint::textout(dest, extras.quiet_line, 16, 440, format.colour(160, 160, 160));
    }
}

}  // namespace

bool make_picture_sheets(picture_sheets& s, const pixel_format& format, const pixel_canvas& player_sheet,
                         const pixel_canvas& title, const pixel_canvas& background) {
    if (player_sheet.w < 192 || player_sheet.h < 128 || title.w < 480 || title.h < 576 || background.w < 640 ||
        background.h < 615)
        return false;
    s.format = format;
    s.title = title;
    s.background = background;
    s.player_panel = part_of(player_sheet, 0, 0, 192, 64);
    for (int type = 0; type < 3; ++type) {
        s.block_pic[type] = part_of(player_sheet, 64 * type, 64, 64, 64);
        cut_pieces(s, type);
    }
    make_aimer(s.aimer, format.colour(255, 255, 255));
    return true;
}

void draw_round_picture(pixel_canvas& dest, const picture_sheets& s, const picture_extras& extras) {
    paint::set_clip(dest, 0, 0, dest.w - 1, dest.h - 1);
    draw_field(dest, s, extras.pose);
    const uint32_t black = s.format.colour(0, 0, 0);
    paint::fill_rect(dest, 0, 0, field_left - 1, 479, black);
    paint::fill_rect(dest, field_right + 1, 0, 639, 479, black);
    draw_hud(dest, s.format);
    draw_label(dest, extras, s.format);
    paint::draw_sprite(dest, s.aimer, round_in.x - 16, round_in.y - 16);
}

void draw_stage_banner_picture(pixel_canvas& dest, const picture_sheets& s, int stage_now) {
    paint::masked_blit(s.title, dest, 0, 384, 150, 150, 220, 96);
    paint::masked_blit(s.title, dest, 180 + 40 * stage_now, 384, 370, 150, 38, 96);
}

void draw_time_out_banner_picture(pixel_canvas& dest, const picture_sheets& s) {
    paint::masked_blit(s.title, dest, 0, 192, 80, 120, 480, 96);
}
