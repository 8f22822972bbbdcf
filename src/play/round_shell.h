// What a program puts around the rules: the player's input and the pause menu, the round's
// picture and banners, the saved totals. The rules call these at their moments and never
// draw, read a device or touch a file themselves; with nothing put in, a round runs bare
// (the board's check of a replay, the browser's module), which changes none of its figures.
#pragma once

struct round_shell {
    void (*starting)();         // a round's start, before its seed: the program's own set-up
    void (*read_input)();       // frame step 2: round_in from the player
    void (*pause_menu)();       // frame step 3: opens the menu and runs it until it closes
    void (*draw_round)();       // frame step 15; reads the round's records only
    void (*stage_banner)();     // over the picture just handed over, before the hold
    void (*time_out_banner)();  // the same when the clock ran out
    void (*save_totals)();      // a round played (not replayed) ran out: its figures joined the totals
};

extern round_shell shell;

// Back to the bare round: every hook does nothing.
void use_bare_shell();
