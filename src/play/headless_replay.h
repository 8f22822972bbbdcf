// A round replayed with nothing shown and nothing heard, as fast as it goes: --verify in
// the game, the board's verifier and the browser's module. Each calls from the one thread
// that has the rules' globals to itself.
#pragma once

#include <cstdint>
#include <vector>

#include "play/round_replay.h"
#include "records/replay_file.h"

// Puts in the host a clock that moves only when the round waits, started at 0, with no
// sound and no music. Whatever shell is in place draws nothing: the replay skips drawing.
void prepare_headless_replay();

// Plays `r` through on that clock, started at 0. `clock_after_ms`, when given, gets the
// round's clock after each number of frames played: r.frames + 1 readings in ms.
replay_outcome replay_headless(const replay& r, std::vector<int32_t>* clock_after_ms = nullptr);
