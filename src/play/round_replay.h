// Recording a round as it is played, and playing a recorded round back.
#pragma once

#include <allegro.h>

#include "records/replay_file.h"

// The round being played, as far as it has gone. Complete once the round has finished.
extern replay recorded_round;

// Round start (not for a replay): the seed and what the round took over.
void start_recording(unsigned seed);

// Frame step, after the input is final: the frame's input, when it changed.
void record_round_input();

// The time-out: the round's figures. From here recorded_round can be kept.
void seal_recording();

// True when the last round finished and every one of its frames was recorded.
bool recorded_round_complete();

// The round reset to the recorded one's start; replaying stays set until stop_replay().
void start_replay(const replay& r);

// Frame step of a replay: the recorded input of this frame.
void feed_round_input();

// One frame of the replay; false once it is over: the round finished, or its frames ran out.
bool play_replay_frame(void (*label)(BITMAP*));
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
// caller provides a host (the clock only moves when the round waits).
replay_outcome verify_replay(const replay& r);

// True when the outcome is what the replay claims.
bool outcome_matches(const replay& r, const replay_outcome& o);
