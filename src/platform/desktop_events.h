// What the desktop tells the game's window: the manager's changes to its size, state and
// frame, exposures, and RandR's and the work area's news of the monitors. The main thread
// reads them between frames, on its own connection.
#pragma once

#include <X11/Xlib.h>

struct desktop_news {
    bool resized = false;  // the manager's window has a new size, w x h
    bool state = false;    // its _NET_WM_STATE changed
    bool frame = false;    // its _NET_FRAME_EXTENTS changed
    bool screens = false;  // monitors added, removed or resized, or the work area moved
    bool exposed = false;
    int w = 0, h = 0;
};

// Asks the server for that news about the manager's window `wm` and Allegro's `client`.
void watch_the_desktop(Display* d, Window wm, Window client);

// What the server said since the last look; several sizes in a row count as the last.
desktop_news read_desktop_news(Display* d, Window wm);
