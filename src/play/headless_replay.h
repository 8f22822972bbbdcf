// A round replayed with nothing shown and nothing heard, as fast as it goes: --verify in
// the game and the board's verifier. Both call from the one thread that has Allegro
// installed (SYSTEM_NONE will do) and the rules' globals to itself.
#pragma once

#include <cstdint>
#include <vector>

#include "play/round_replay.h"
#include "records/replay_file.h"

// Makes the blank surfaces a round draws its poses and lines on even when nothing is shown
// (those not made yet, at colour depth 32), and puts in the host a clock that moves only when
// the round waits, with no sound and no music. False when out of memory.
bool prepare_headless_replay();

// Plays `r` through on that clock, started at 0. `clock_after_ms`, when given, gets the
// round's clock after each number of frames played: r.frames + 1 readings in ms.
replay_outcome replay_headless(const replay& r, std::vector<int32_t>* clock_after_ms = nullptr);
