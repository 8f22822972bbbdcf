// For tests: the replay's 640x480 picture written at chosen frames, so another drawing of
// the same round (the board's watch page) can be compared with the game's byte for byte.
// BLOCKDASH_REPLAY_PICTURES="DIR FRAME..." (a FRAME may be "last") writes DIR/frame-N.ppm
// as the screen shows it at the end of frame N (its stage banner too), and plays the
// replay as fast as it draws.
// Thread: the main thread, from the replay screen.
#pragma once

#include <allegro.h>

// Reads the variable for a replay `frames` long; false when it is not set.
bool start_replay_pictures(int frames);
// After each frame: `picture` written when frame `played` was asked for.
void keep_replay_picture(int played, BITMAP* picture);
