// The game's window on the desktop: full screen or a window of any size, where it lies,
// the monitor it is on, and the picture's layout in it. The main thread shapes it, at
// start-up and between frames, on a connection of its own.
#pragma once

#include <X11/Xlib.h>

#include "platform/display_layout.h"

// Start-up, before Allegro maps the window `wm`: reads the desktop and the manager's frame,
// and places the window as wished. Returns the window planned; `reduced` when the wished
// factor does not fit.
display_plan begin_window_shape(Display* watch, Window wm, const display_wish& wish, bool* reduced);

// Allegro could not open the window: the state asked for is taken back.
void abandon_window_shape();

// Allegro opened the window: it takes the planned shape and the picture is laid out.
void finish_window_shape(const display_plan& plan);

// The largest monitor on the desktop at start-up.
screen_rect largest_monitor();

void tell_display_choices_to(void (*listener)(bool fullscreen, const char* monitor));

// Between frames, each when the desktop says so (desktop_events.h):
void switch_fullscreen();                 // F11: full screen <-> window, on the same monitor
void follow_manager_state();              // the manager's full screen is the player's too
void follow_frame();
void follow_screens();                    // monitors or work area changed
bool follow_window_size(int w, int h);    // true when the picture's layout changed
void refit_while_settling();              // a placement the manager moved off the work area
