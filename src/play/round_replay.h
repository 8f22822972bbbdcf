// Playing a recorded round back, on screen or checked at full speed.
#pragma once

#include "play/round_tape.h"
#include "records/replay_file.h"

// The round reset to the recorded one's start; replaying stays set until stop_replay().
void start_replay(const replay& r);

// One frame of the replay; false once it is over: the round finished, or its frames ran out.
bool play_replay_frame();
void stop_replay();

// What a replay gives when it is played through.
struct replay_outcome {
    int32_t score;  // as shown
    int32_t blocks_cut;
    int32_t best_combo;
    int32_t frames;     // frames played when the round finished
    bool finished;      // the round ran out of time, on the last recorded frame
    bool input_damaged;
};

// Plays the whole replay at once, with no drawing and no waiting beyond the host's; the
// caller provides a host (the clock only moves when the round waits). `after_frame`, when
// given, is called after each frame with the frames played so far (the board reads its
// clock there).
replay_outcome verify_replay(const replay& r, void (*after_frame)(int32_t played) = nullptr);

// True when the outcome is what the replay claims.
bool outcome_matches(const replay& r, const replay_outcome& o);
