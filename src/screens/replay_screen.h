// Watching a recorded round: the pictures the player saw, at the round's pace.
#pragma once

#include "records/replay_file.h"

// Plays `r` until its last frame, Esc, the right button or a request to leave; Space or
// the left button held runs it four times as fast. The round's state, the buttons, the
// table and the player's totals are as they were before.
void watch_replay(const replay& r);
