// --replay and --verify: a replay file from anywhere, played in a window or checked.
#pragma once

#include "app/command_line.h"

// Plays the file in the game's window, then ends. Returns the exit status.
int watch_replay_file(const launch_options& options);

// Replays the file with no display and no sound, as fast as it goes; prints the score,
// the blocks cut and the best combo. 0 when the file is sound and its input gives what it
// claims, 1 otherwise.
int verify_replay_file(const char* path);
