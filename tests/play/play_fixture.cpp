#include "play_fixture.h"

#include <gtest/gtest.h>

#include "play/cut_pieces.h"
#include "play/render.h"
#include "records/lifetime_stats.h"
#include "platform/assets.h"
#include "app/screen_loop.h"
#include "platform/surfaces.h"
#include "support/headless.h"

namespace play_testing {

using testing_support::set_mouse;

void fresh_round(unsigned seed) {
    testing_support::reset_headless();
    skip_drawing = false;
    m_combo = 0;
    stand_ins::reset_to_round(seed);
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
