// Where the 640x480 picture goes on a desktop: which monitor, what whole factor, where the
// window sits and how a pointer position maps back onto the picture. Pure arithmetic on
// rectangles, so every desktop shape can be tried headless.
#pragma once

#include <vector>

struct screen_rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// The picture scaled by k, its top-left corner at (left, top) of the game's window.
struct picture_layout {
    int k = 1;
    int left = 0;
    int top = 0;
};

// A whole window on the desktop and the picture inside it.
struct display_plan {
    screen_rect window;  // in desktop coordinates
    picture_layout picture;
};

// The largest whole k >= 1 with 640k x 480k inside w x h.
int largest_factor(int w, int h);

// The monitor holding the point, else the nearest one; `fallback` when there are none.
int monitor_at(const std::vector<screen_rect>& monitors, int x, int y, int fallback);

// Full screen: the window covers the monitor, the picture centred at the largest factor.
display_plan plan_fullscreen(const screen_rect& monitor);

// A window of 640k x 480k on the monitor, centred in the part of the work area on it.
// `requested` is the player's factor (0: the largest that fits); one that does not fit
// gives the largest that does and sets `reduced`.
display_plan plan_window(const screen_rect& monitor, const screen_rect& work_area, int requested,
                         bool* reduced);

struct picture_point {
    int x = 0, y = 0;
};

// A window pixel onto the picture: ((x - left) / k, (y - top) / k), clamped to 640x480.
picture_point map_pointer(const picture_layout& at, int x, int y);

// True when the window pixel lies on the picture (not on the black border around it).
bool on_picture(const picture_layout& at, int x, int y);
