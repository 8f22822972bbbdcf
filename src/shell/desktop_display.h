// The display on a desktop: full screen without a mode switch, or a window, with the
// picture scaled by a whole factor; F11 and Alt+Enter switch between them at any time.
// Start-up opens it; the presenter (Allegro's timer thread) shows the picture through it.
#pragma once

#include <allegro.h>

#include "shell/command_line.h"
#include "shell/display_layout.h"

// Where the player's last choice of full screen or window is kept.
extern const char* const display_choice_path;

// Opens the display as asked on the command line, else as the player last left it, else
// full screen. On failure returns false with the reason in `why`.
bool open_display(const launch_options& options, char* why, int why_size);

// Puts the game's icon on its window (the standing pose of `player_panel`).
void set_window_icon(BITMAP* panel);

// Presenter side, called under the presenter's lock. Carries out a requested switch and
// shows or hides the desktop's pointer; true when the whole picture must be shown again.
bool follow_display_changes();
// Shows rows [top, bottom) of the 640x480 picture, scaled.
void show_picture_rows(BITMAP* picture, int top, int bottom);

// Where the picture sits in the window now; the pointer is mapped through it.
picture_layout current_picture_layout();
