// Menu buttons: a rectangle that moves the game to another screen when clicked.
#pragma once

#include <allegro.h>

// A rectangle given by its centre and size that writes `target` into game_state while the
// left button is down strictly inside it. Nothing is hovered or pressed-looking.
class clicky {
public:
    void edit_button(int x, int y, int w, int h, int target);
    int is_clicked();

    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool shown = false;  // kept for the pause menu; nothing reads it
    int target = 0;
};

// A press still held from before (the left button that sped up a replay) acts on no
// button until it has been let go.
void ignore_held_press();

// Reused by every screen that shows buttons; each sets them again on entry.
extern clicky quit;
extern clicky progress;

// White outline and a centred one- or two-line label.
void draw_button(BITMAP* dest, const clicky& button, const char* label);
void draw_button(BITMAP* dest, const clicky& button, const char* first_line, const char* second_line);

