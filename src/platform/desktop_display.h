// The display on a desktop: full screen without a mode switch, or a window the player and
// the window manager may resize, with the picture laid out anew for whatever size it is
// given; F11 and Alt+Enter switch between them at any time. Start-up opens it; the main
// thread follows the desktop between frames; the presenter (Allegro's timer thread) only
// shows the picture through it.
#pragma once

#include <allegro.h>

#include <string>

#include "platform/display_layout.h"

// What the player asked for: full screen or a window, the window's whole factor (0 for
// the largest that fits), how the picture grows, and the monitor full screen last used.
struct display_wish {
    bool fullscreen = true;
    int scale = 0;
    picture_scaling scaling = picture_scaling::automatic;
    std::string monitor;
};

// Opens the display as wished, where the desktop allows it. On failure returns false with
// the reason in `why`.
bool open_display(const display_wish& wish, char* why, int why_size);

// Called each time full screen or a window is chosen (by the player or by the window
// manager), with the monitor the game is on, so the caller can remember them.
void on_display_choice_change(void (*listener)(bool fullscreen, const char* monitor));

// Puts the game's icon on its window (the standing pose of `player_panel`).
void set_window_icon(BITMAP* panel);

// Main thread, between frames (the real host's wait calls it): carries out a requested
// switch, follows the window's size and state and the desktop's screens, and shows or
// hides the desktop's pointer. True when the whole picture must be shown again.
bool follow_display_requests();

// Presenter side, called under the presenter's lock: shows rows [top, bottom) of the
// 640x480 picture, scaled.
void show_picture_rows(BITMAP* picture, int top, int bottom);

// Where the picture sits in the window now; the pointer is mapped through it.
picture_layout current_picture_layout();
