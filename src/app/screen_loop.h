// The screen-state loop: the whole program between start-up and shut-down.
#pragma once

#include "ui/screen_state.h"

// Each screen is an entry set-up that runs once and a frame that repeats while
// game_state still names the screen.
struct screen_steps {
    void (*enter)();
    void (*frame)();
};

// Indexed by game_state 0..3. Tests replace entries to watch the loop's order.
extern screen_steps screens[4];

// Visits the screens in the fixed order 0, 1, 2, 3 until game_state is above 4.
void run_screen_loop();
