// A board round's randomness, revealed as it is played: the board's value for each tick is
// mixed in at a fixed frame after it. Played, the values come from the round's listener and
// are recorded; replayed, from the tape. A value missing at its frame ends the mixing for
// the rest of the round, so a replay with fewer values plays the same round.
#pragma once

#include <cstdint>

// Round start: nothing mixed yet.
void start_reveal();

// Frame step, first of the frame (before any draw): the value due at `frame` (1 on), if any.
void mix_revealed_value(int32_t frame);

// Values mixed in so far this round.
int32_t values_revealed();
