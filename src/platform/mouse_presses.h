// Left-button presses latched as they happen, so a click that goes down and up between two
// frames still counts, where it was made.
#pragma once

struct left_press {
    unsigned serial;  // counts the presses of the run from 1; 0 before the first
    int at_ms;        // now_ms() when the button went down
    int x;            // where it went down, on the 640x480 picture
    int y;
};

// The mouse's callback, installed at start-up (Allegro's input thread): latches each left
// press with the pointer's position, timed by the machine's clock.
void note_mouse_change(int flags);

// A left press at window position (x, y), timed by the game's clock. Headless tests call
// it on the main thread where the library would call the callback.
void note_left_press(int window_x, int window_y);

// The latest left press, whether the button is still down or already up. Main thread.
left_press last_left_press();
