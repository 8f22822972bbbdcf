// The score, time and power-up rules, the popups' lifetimes and the end of the round.
#pragma once

// Frame steps, in the order play_frame calls them.
void resolve_combo();   // scores the dash that has just ended
void age_popups();      // every popup, shown or not, once per frame
void check_time_out();  // the clock below zero hands the round to the end screen
