// Which screen the program is on, and the request to leave it all.
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

// Asks the screen loop to end through the orderly shut-down, as Quit does. Safe to call
// from a signal handler or the window's close button; loops that block the screen loop
// (the pause menu, the name entry) check leave_requested() too.
void request_leave();
bool leave_requested();
