// The display on a desktop: full screen without a mode switch, or a window the player and
// the window manager may resize, with the picture laid out anew for whatever size it is
// given; F11 and Alt+Enter switch between them at any time. Start-up opens it; the main
// thread follows the desktop between frames; the presenter (Allegro's timer thread) only
// shows the picture through it.
#pragma once

#include <allegro.h>

#include "platform/display_layout.h"

// Opens the display as wished, where the desktop allows it. On failure returns false with
// the reason in `why`.
bool open_display(const display_wish& wish, char* why, int why_size);

// Called each time full screen or a window is chosen (by the player or by the window
// manager), with the monitor the game is on, so the caller can remember them.
void on_display_choice_change(void (*listener)(bool fullscreen, const char* monitor));

// The desktop's own double-click time in ms, read when the display opened; 0 when it sets
// none or there is no desktop (headless). Main thread.
int desktop_double_click_ms();

// Puts the game's icon on its window (the standing pose of `player_panel`).
void set_window_icon(BITMAP* panel);

// Main thread, between frames (the real host's wait calls it): carries out a requested
// switch, follows the window's size and state and the desktop's screens, and shows or
// hides the desktop's pointer. True when the whole picture must be shown again.
bool follow_display_requests();

