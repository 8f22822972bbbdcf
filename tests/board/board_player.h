// Rounds for the board's tests and benchmarks, played headless at full speed by the game's
// own rules from a seed the board drew.
#pragma once

#include <cstdint>
#include <string>

#include "records/replay_file.h"

namespace board_testing {

// Allegro without a display and the stand-in art; once per process.
void start_headless_rules();

// Plays one round from `seed` to its time-out and leaves its replay in `out`, under `name`.
// `frames_per_click` 0: the hand never clicks, so blocks reach the floor and the round runs
// out early; otherwise it clicks at the block nearest the floor that often: busy rounds.
// `real_time`: on the machine's own clock, drawing every frame, as the game plays.
void play_round(unsigned seed, int frames_per_click, const char* name, replay& out, bool real_time = false);

// The replay's file bytes.
std::string replay_bytes(const replay& r);

}  // namespace board_testing
