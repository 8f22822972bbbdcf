// Reading the player's mouse into the round's input (round_in, in play/round_state.h).
#pragma once

#include "play/round_state.h"

// The one place the round reads the mouse: the pointer on the picture and the buttons.
void read_round_input();
