// Shared set-up of the round's tests: stand-in artwork with known colours, a round reset
// to a known state with a fixed seed, and small ways to place the player and blocks.
#pragma once

#include <algorithm>
#include <vector>

#include <allegro.h>

#include "fixture/stand_in_art.h"
#include "play/round.h"

namespace play_testing {

// Colours of the stand-in artwork.
using stand_ins::background_colour;
using stand_ins::block_colour;
using stand_ins::pause_banner_colour;
using stand_ins::pose_colour;
using stand_ins::stage_digit_colour;
using stand_ins::stage_word_colour;
using stand_ins::time_out_banner_colour;
using stand_ins::make_stand_in_art;

// Fake host, stand-in art, no wipe pending, nothing carried over from an earlier round,
// then the round's own start with `seed`.
void fresh_round(unsigned seed = 1);

// The player standing on the floor at x, ready to dash; stage 1 and no spawning, so a
// test sees only the blocks it places.
void stand_player_at(int x);

block_record& place_block(int slot, int x, int y, int type = 0, int speed = 0);

void run_frames(int n);

// Presses the left button at (x, y) for one frame, then releases it.
void click_at(int x, int y);

// How often `value` occurs in a recorded list (sounds, waits).
inline int count_of(const std::vector<int>& v, int value) {
    return static_cast<int>(std::count(v.begin(), v.end(), value));
}

}  // namespace play_testing
