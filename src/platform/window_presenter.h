// The presenter's side of the window: the image the picture is scaled into and sent to X
// from, its layout, and the lock that keeps the main thread's new layouts from tearing a
// picture. Allegro's timer thread presents (show_picture_parts); the main thread hands it
// each new layout and asks for whole repaints.
#pragma once

#include <allegro.h>
#include <X11/Xlib.h>

#include <vector>

#include "platform/display_layout.h"
#include "platform/picture_area.h"

// The presenter's tick, called under the presented surface's lock: shows these parts of
// the 640x480 picture, scaled.
void show_picture_parts(BITMAP* picture, const std::vector<picture_area>& parts);

// Where the picture sits in the window now; the pointer is mapped through it.
picture_layout current_picture_layout();

// Main thread, at start-up, before the window opens: whether the picture goes through an
// image of our own (the visual takes the scaler's pixels) or through Allegro's screen,
// which cannot grow and is made as large as the largest monitor, `largest`.
void choose_picture_output(Display* d, const screen_rect& largest);
bool pictures_through_image();
screen_rect largest_screen();
// Once Allegro's screen is there: the surface a picture through it is scaled into.
bool make_picture_surface(char* why, int why_size);

// The part of `area` a picture can cover: all of it, except through Allegro's screen.
screen_rect presentable(screen_rect area);

// Main thread: from the presenter's next tick, the window's client area is w x h and the
// picture lies at `at` in it. The pointer is mapped through it at once.
void present_layout(int w, int h, const picture_layout& at);

// Main thread: the next tick repaints the whole window, borders too (after an exposure).
void repaint_whole_window();

// True once a picture has reached the window.
bool picture_shown();

// Headless runs and a plain Allegro window: the picture's own 640x480 at 0,0.
void present_plain_picture();
