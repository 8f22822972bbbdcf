// What the game and the board must agree on for a board round.
#pragma once

#include <cstdint>

// A tick every 250 frames (5 s). The board answers tick k with a value drawn then, which
// the round mixes into its randomness at the start of frame tick + 100, on every machine
// alike. The input up to a tick is committed before its value is known, so no program
// sees more than 250 + 100 = 350 frames (7 s) of the round ahead of what it has committed.
constexpr int32_t frames_between_ticks = 250;
constexpr int32_t value_delay_frames = 100;
constexpr int pauses_most = 3;
constexpr int64_t paused_ms_most = 60000;

// The frame at whose start tick `k` (1, 2, ...) has its value mixed in.
constexpr int32_t mix_frame_of_tick(int32_t k) { return k * frames_between_ticks + value_delay_frames; }
// The tick whose value frame `frame` mixes in; 0 for none.
constexpr int32_t tick_mixed_at(int32_t frame) {
    return frame > value_delay_frames && (frame - value_delay_frames) % frames_between_ticks == 0
               ? (frame - value_delay_frames) / frames_between_ticks
               : 0;
}
// How many of a round's values a round of `frames` frames mixes in.
constexpr int32_t values_mixed_in(int32_t frames) {
    return frames < mix_frame_of_tick(1) ? 0 : (frames - value_delay_frames) / frames_between_ticks;
}

// How far a board round's time may stray from its own clock, slow or fast: over each stretch
// between two notices, and over the round as a whole. The board refuses past these; the game
// stops sending a round past them before the board would have to.
constexpr int64_t pace_slack_permille = 50;
constexpr int64_t stretch_grace_ms = 1500;
constexpr int64_t round_grace_ms = 2500;

// The time a stretch (or the round) of `own_ms` may be off by.
constexpr int64_t pace_allowance_ms(int64_t own_ms, int64_t grace_ms) {
    return own_ms * pace_slack_permille / 1000 + grace_ms;
}
