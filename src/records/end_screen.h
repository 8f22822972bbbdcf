// The end-of-game screen (state 3): the name entry for a qualifying round, then the table.
#pragma once

#include "records/highscore_table.h"

extern record player_score;  // the entry being typed
extern int got_highscore;    // row entered during this visit, 10 for none

// Set by add_finished_round, taken by the next visit's set-up: only a visit that follows a
// finished round may offer the name entry, so one from the title menu never does.
extern bool finished_round_waiting;

// The keyboard's low-level callback, installed at start-up: queues each press for the
// name entry, so none made between two of its passes is lost. Repeats are not presses.
void note_key_press(int scancode);

// Entry set-up, once per visit.
void enter_end_screen();

// One pass of the screen. The first pass of a qualifying visit runs the name entry, which
// blocks until Enter (or a request to leave the program, which inserts nothing).
void end_screen_frame();
