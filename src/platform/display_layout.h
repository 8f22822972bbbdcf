// Where the 640x480 picture goes on a desktop: which monitor, how large, where the window
// sits and how a pointer position maps back onto the picture. Pure arithmetic on
// rectangles, so every desktop shape can be tried headless.
#pragma once

#include <string>
#include <vector>

struct screen_rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const screen_rect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// How the picture grows: `pixel` by whole factors only, `sharp` to any size (whole factor
// up, smooth step down), `automatic` whichever suits the area (see lay_out_picture).
enum class picture_scaling { automatic, pixel, sharp };

// The picture's rectangle inside the window: 640k x 480k for a whole factor, any size
// when sharp. The window around it is black.
struct picture_layout {
    int left = 0;
    int top = 0;
    int w = 640;
    int h = 480;
    bool operator==(const picture_layout& o) const {
        return left == o.left && top == o.top && w == o.w && h == o.h;
    }
};

// What a window manager draws around the window (_NET_FRAME_EXTENTS).
struct frame_extents {
    int left = 0, right = 0, top = 0, bottom = 0;
};

// What the player asked for: full screen or a window, the window's whole factor (0 for
// the largest that fits), how the picture grows, and the monitor full screen last used.
struct display_wish {
    bool fullscreen = true;
    int scale = 0;
    picture_scaling scaling = picture_scaling::automatic;
    std::string monitor;
};

// A whole window on the desktop: its client area, frame not included, in desktop
// coordinates. The picture in it is laid out by lay_out_picture.
struct display_plan {
    screen_rect window;
};

// The one rule for any area, full screen or a window of any shape: the largest 4:3
// rectangle that fits, centred; by a whole factor when `pixel`, or when `automatic` and
// that factor fills at least 80 % of the area's height or width. An area smaller than the
// picture gets it sharp, made smaller, whatever the mode.
picture_layout lay_out_picture(int area_w, int area_h, picture_scaling how);

// The monitor holding the point, else the nearest one; `fallback` when there are none.
int monitor_at(const std::vector<screen_rect>& monitors, int x, int y, int fallback);

// Full screen: the window covers the monitor.
display_plan plan_fullscreen(const screen_rect& monitor);

// A window on the monitor whose outer size, frame included, fits the part of the work
// area on that monitor, centred there. `requested` is the player's whole factor (0: the
// picture the rule gives for that room); one that does not fit gives the rule's window
// and sets `reduced`.
display_plan plan_window(const screen_rect& monitor, const screen_rect& work_area,
                         const frame_extents& frame, int requested, picture_scaling how,
                         bool* reduced);

// The part of the work area on the monitor; the whole monitor when the work area lies on
// another one (it says nothing about this one then).
screen_rect room_on(const screen_rect& monitor, const screen_rect& work_area);

// A window on a desktop that changed: shrunk and moved, as little as needed, so that with
// its frame it lies wholly in `room`.
screen_rect fit_window(screen_rect window, const frame_extents& frame, const screen_rect& room);

struct picture_point {
    int x = 0, y = 0;
};

// A window pixel onto the picture, clamped to 640x480.
picture_point map_pointer(const picture_layout& at, int x, int y);

// True when the window pixel lies on the picture (not on the black border around it).
bool on_picture(const picture_layout& at, int x, int y);
