// Menu buttons: a rectangle that moves the game to another screen when clicked.
#pragma once

#include <allegro.h>

#include "platform/mouse_presses.h"

// A rectangle given by its centre and size that writes `target` into game_state when a
// left press that may act on this screen is down strictly inside it, or went down there
// and up again since the last test. Nothing is hovered or pressed-looking.
class clicky {
public:
    void edit_button(int x, int y, int w, int h, int target);
    int is_clicked();

    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    int target = 0;
};

// A screen (or the pause menu, or the round it returns to) is about to take clicks:
// presses that began before now belong to what was shown before. The screen loop calls
// it on every entry.
void start_button_screen();

// Whether a press may act on the screen now shown: it began there, and it is not the
// second half of a double-click whose first half moved the game to this screen.
bool press_may_act(const left_press& press);

// Where the latest press that may act on this screen acts: where it went down, or where
// the pointer is now while it is still held (sliding onto a button presses it). False
// when there is none. Each press acts once: take_press() uses it up.
bool press_to_act(int* x, int* y);
void take_press();

// Tests: no press so far acts, and none that follows is a double-click's second half.
void forget_button_presses();

// Reused by every screen that shows buttons; each sets them again on entry.
extern clicky quit;
extern clicky progress;

// White outline and a centred one- or two-line label.
void draw_button(BITMAP* dest, const clicky& button, const char* label);
void draw_button(BITMAP* dest, const clicky& button, const char* first_line, const char* second_line);

