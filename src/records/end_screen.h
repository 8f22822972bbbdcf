// The end-of-game screen: the name entry for a qualifying round, then the table.
#pragma once

#include "records/highscore_table.h"

extern record player_score;  // the entry being typed
extern int got_highscore;    // row entered during this visit, 10 for none

void enter_end_screen();
void end_screen_frame();
