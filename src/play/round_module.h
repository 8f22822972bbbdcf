// The round's rules for a page to drive: a replay's bytes in, frames played one at a time,
// the round's figures out. Plain C names and ints, so the browser's module exports them
// as they are; natively the tests call the same functions.
#pragma once

#include <cstdint>

extern "C" {

// Room for a replay file of `size` bytes, which the caller fills; null when it cannot be one.
uint8_t* round_bytes(int32_t size);

// Reads the bytes given to round_bytes as a replay and starts playing it: 0 when it is
// read, else the replay_status that says why not (nothing is started then). Called again,
// it starts the same replay over from its first frame: how a page goes back.
int32_t round_load();

// Plays one frame of the loaded replay; 1 while more frames follow, 0 once it is over.
int32_t round_step();

// The round as far as it has gone; 0 for each when the last bytes loaded were no replay.
enum round_figure_id : int32_t {
    figure_score = 0,       // as shown
    figure_blocks_cut = 1,  // those past the counter's cap included
    figure_best_combo = 2,
    figure_frames = 3,      // frames played
    figure_finished = 4,    // 1: it ran out of time on its last recorded frame, its input whole
    figure_claim_kept = 5,  // 1: finished, with the very figures the replay claims
    figure_clock_ms = 6,    // the round's own clock: the banners' holds included
    figure_replay_frames = 7,  // the frames the replay holds, whether or not they are played yet
};
int32_t round_figure(int32_t which);

}  // extern "C"
