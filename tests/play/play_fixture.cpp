#include "play_fixture.h"

#include <gtest/gtest.h>

#include "play/cut_pieces.h"
#include "play/render.h"
#include "records/lifetime_stats.h"
#include "shell/assets.h"
#include "shell/screen_loop.h"
#include "shell/surfaces.h"
#include "support/headless.h"

namespace play_testing {

using testing_support::set_mouse;

int block_colour(int type) {
    static const int rgb[3][3] = {{220, 180, 0}, {0, 200, 220}, {230, 60, 160}};
    return makecol(rgb[type][0], rgb[type][1], rgb[type][2]);
}

int pose_colour(int pose, bool right_half) {
    const int shade = right_half ? 120 : 250;
    if (pose == 0) return makecol(10, shade, 10);
    if (pose == 64) return makecol(90, 90, shade);
    return makecol(shade, 140, 20);
}

int background_colour(int row) { return makecol(100, row & 255, 150 + (row >> 8)); }
int pause_banner_colour() { return makecol(0, 0, 200); }
int time_out_banner_colour() { return makecol(200, 0, 0); }
int stage_word_colour() { return makecol(0, 200, 0); }
int stage_digit_colour(int stage) { return makecol(40 * stage, 50, 60); }

namespace {

BITMAP* solid(int w, int h, int colour) {
    BITMAP* b = create_bitmap(w, h);
    clear_to_color(b, colour);
    return b;
}

// Each strip has a magenta top row, so masked drawing can be told from a plain copy.
void banner_strip(int x, int y, int w, int colour) {
    rectfill(title, x, y, x + w - 1, y + 95, colour);
    hline(title, x, y, x + w - 1, makecol(255, 0, 255));
}

}  // namespace

void make_stand_in_art() {
    if (buffer) return;
    buffer = solid(screen_w, screen_h, 0);
    frame = solid(screen_w, screen_h, 0);
    fake_screen = solid(screen_w, screen_h, 0);
    title = solid(480, 576, makecol(255, 0, 255));
    banner_strip(0, 96, 480, pause_banner_colour());
    banner_strip(0, 192, 480, time_out_banner_colour());
    banner_strip(0, 384, 220, stage_word_colour());
    for (int s = 1; s <= 5; ++s) banner_strip(180 + 40 * s, 384, 38, stage_digit_colour(s));
    background = create_bitmap(640, 615);
    for (int row = 0; row < 615; ++row) hline(background, 0, row, 639, background_colour(row));
    player_panel = create_bitmap(192, 64);
    for (int pose : {0, 64, 128}) {
        rectfill(player_panel, pose, 0, pose + 31, 63, pose_colour(pose, false));
        rectfill(player_panel, pose + 32, 0, pose + 63, 63, pose_colour(pose, true));
    }
    player.sprite = create_bitmap(64, 64);
    blit(player_panel, player.sprite, 64, 0, 0, 0, 64, 64);
    for (int type = 0; type < 3; ++type) {
        block_pic[type] = solid(64, 64, block_colour(type));
        ASSERT_TRUE(cut_the_blocks(type));
    }
    aimer = create_bitmap(32, 32);
    draw_aim_cursor(aimer);
}

void fresh_round(unsigned seed) {
    testing_support::reset_headless();
    make_stand_in_art();
    skip_drawing = false;
    screen_lock = false;
    game_state = state_play;
    m_combo = 0;
    BITMAP* sprite = player.sprite;
    player = {};
    player.sprite = sprite;
    for (block_record& b : block) b = {};
    for (popup& p : got_combo) p = {};
    lost_time = time_popup = power_popup = {};
    till_next = 0;
    start_round_seeded(seed);
}

void stand_player_at(int x) {
    player.x = x;
    player.y = 450;
    can_dash = true;
    dash_delay = 20;
    gravity = 0;
    mouseisdown = false;
    stage = 1;
    till_next = -100000;
}

block_record& place_block(int slot, int x, int y, int type, int speed) {
    block[slot] = {};
    block[slot].x = x;
    block[slot].y = y;
    block[slot].type = type;
    block[slot].speed = speed;
    block[slot].active = true;
    return block[slot];
}

void run_frames(int n) {
    for (int i = 0; i < n; ++i) play_frame();
}

void click_at(int x, int y) {
    set_mouse(x, y, 1);
    play_frame();
    set_mouse(x, y, 0);
}

}  // namespace play_testing
