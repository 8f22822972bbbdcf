// The player's input as the round sees it: read once at the top of each frame, so a
// replay can hand the round the very same frames.
#pragma once

#include "records/replay_file.h"

extern round_input round_in;

// The one place the round reads the mouse: the pointer on the picture and the buttons.
void read_round_input();
