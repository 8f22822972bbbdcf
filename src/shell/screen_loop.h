// The screen-state loop: the whole program between start-up and shut-down.
#pragma once

// 0 statistics and credits, 1 title menu, 2 play, 3 end of game and highscores,
// 5 leave the program. Written only by start-up, a button hit and the round's time-out.
extern int game_state;

enum : int {
    state_credits = 0,
    state_title = 1,
    state_play = 2,
    state_end_of_game = 3,
    state_leave = 5,
};

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

// Asks the loop to end through the orderly shut-down, as Quit does. Safe to call from a
// signal handler or the window's close button; loops that block the screen loop (the
// pause menu, the name entry) check leave_requested() too.
void request_leave();
bool leave_requested();
