// The round's picture drawn over plain pixels from the round's records, pixel for pixel
// what the game shows at the end of a frame, where there is no Allegro to draw it (the
// browser's watch page). The game itself keeps drawing with Allegro.
#pragma once

#include "play/pixel_canvas.h"

// The artwork as plain pixels, and what start-up makes of it.
struct picture_sheets {
    pixel_format format;        // of every sheet, and of the colours the picture draws in
    pixel_canvas title;         // banner sheet, 480x576
    pixel_canvas background;    // 640x615: the stage bands
    pixel_canvas player_panel;  // 192x64: dash, standing and falling poses
    pixel_canvas block_pic[3];  // 64x64: plain, time and power block
    pixel_canvas cut_block[8][3];  // the pieces, as cut_block in the game
    pixel_canvas aimer;         // 32x32 aim cursor
};

// From the three pictures the game loads (KZ IMAGE's player.bmp, text.bmp and
// background.bmp, their pixels in `format`), sliced and cut as start-up does. False when
// one is too small.
bool make_picture_sheets(picture_sheets& sheets, const pixel_format& format, const pixel_canvas& player_sheet,
                         const pixel_canvas& title, const pixel_canvas& background);

// What is drawn besides the round's records.
struct picture_extras {
    int pose = 64;                      // the player's pose (player.pose), its column in player_panel
    const char* replay_name = nullptr;  // three letters: a replay's label in the left panel
    const char* quiet_line = nullptr;   // grey, in its place: the board stopped hearing the round
};

// The whole 640x480 picture the round draws at its drawing step: field, blocks, pieces,
// trail, player, side panels, popups, the label and the cursor where the round saw it.
void draw_round_picture(pixel_canvas& dest, const picture_sheets& sheets, const picture_extras& extras);

// Laid over the picture as the game lays them over the presented one: the stage banner
// after a frame that raised `stage`, the time-out banner over the last picture while the
// round's end is held.
void draw_stage_banner_picture(pixel_canvas& dest, const picture_sheets& sheets, int stage);
void draw_time_out_banner_picture(pixel_canvas& dest, const picture_sheets& sheets);
