// What the game and the board must agree on for a board round.
#pragma once

#include <cstdint>

constexpr int32_t frames_between_ticks = 390;
constexpr int pauses_most = 3;
constexpr int64_t paused_ms_most = 60000;

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
