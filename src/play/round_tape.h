// The round's input on tape: recorded frame by frame as a round is played, and fed back
// frame by frame when it is replayed. Frame steps only; the replay itself drives the round
// from play/round_replay.h.
#pragma once

#include "records/replay_file.h"

// The round being played, as far as it has gone. Complete once the round has finished.
extern replay recorded_round;

// Round start (not for a replay): the seed and what the round took over.
void start_recording(unsigned seed);

// Frame step, after the input is final: the frame's input, when it changed.
void record_round_input();

// The time-out: the round's figures. From here recorded_round can be kept.
void seal_recording();

// The finished round's figures as its replay claims them; a replay played back is held
// to the very same.
struct claimed_figures {
    int32_t score;  // as shown
    int32_t blocks_cut;
    int32_t best_combo;
};
claimed_figures finished_round_claim();

// True when the last round finished and every one of its frames was recorded.
bool recorded_round_complete();

// The recorded input of `r` is fed to the round from its first frame on.
void load_tape(const replay& r);
void unload_tape();

// Frame step of a replay: the recorded input of this frame.
void feed_round_input();

// The value the loaded tape's round mixed in for tick `tick` (1 on); false past its last.
bool taped_value(int tick, uint32_t* value);

// A value the round being recorded mixed in, next after those before.
void record_round_value(uint32_t value);

// The loaded tape's bytes did not decode cleanly.
bool tape_damaged();
