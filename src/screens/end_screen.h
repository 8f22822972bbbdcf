// The end-of-game screen (state 3): the name entry for a qualifying round, then the table.
#pragma once

#include "records/highscore_table.h"

extern record player_score;  // the entry being typed
extern int got_highscore;    // row entered during this visit, 10 for none

// Entry set-up, once per visit.
void enter_end_screen();

// One pass of the screen. The first pass of a qualifying visit runs the name entry, which
// blocks until Enter or a request to leave the program.
void end_screen_frame();

// The program is leaving (a signal, the window's close button, a lost display) while a
// name is being typed, or before the end screen of a finished round came (its time-up
// banner): the score goes into the table and its file under the letters typed so far,
// each untyped place shown as '-', when it qualifies. Does nothing otherwise.
void keep_unfinished_entry();
