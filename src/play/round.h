// The round's entry points: its start and one frame.
#pragma once

#include "play/round_state.h"

// Entry set-up of the play screen: pause-menu buttons, the round's reset, the music.
// The generator is seeded from the calendar time plus the millisecond clock.
void start_round();

// The same with a chosen seed, so tests and the benchmark can replay a round.
void start_round_seeded(unsigned seed);

// One frame of the round, paced to at least 20 ms. The screen loop calls it while
// game_state is 2. The input, the pause menu and the picture come from the shell.
void play_frame();

// One frame of a recorded round: its input from the replay instead of the player, and no
// pause menu (see play/round_replay.h).
void replayed_frame();
