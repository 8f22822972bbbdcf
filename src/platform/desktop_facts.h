// What the desktop offers the game's window, read from the X server: the monitors, the
// work area, the window manager and what it supports, and the window's own frame and
// state. Each call is a round trip or a few: the main thread asks between frames.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "platform/display_layout.h"

struct desktop_facts {
    std::vector<screen_rect> monitors;  // never empty: the whole screen when nothing says more
    std::vector<std::string> monitor_names;
    int primary = 0;
    screen_rect work_area;
    bool has_manager = false;
    bool manager_does_fullscreen = false;
    bool manager_tells_frame = false;  // answers _NET_REQUEST_FRAME_EXTENTS
};

// RandR's monitors, or Xinerama's screens where it lists more (named "xinerama-<n>"),
// else the whole screen.
desktop_facts read_desktop(Display* d);

// The monitor of that name, else the primary one.
int monitor_named(const desktop_facts& facts, const std::string& name);

// The longs of a 32-bit property, empty when it is missing or of another type.
std::vector<long> long_property(Display* d, Window w, Atom property, Atom type);

// _NET_FRAME_EXTENTS of the window; `known` false when the manager has not set it.
frame_extents read_frame_extents(Display* d, Window w, bool* known);

// True when _NET_WM_STATE holds _NET_WM_STATE_FULLSCREEN.
bool read_fullscreen_state(Display* d, Window w);

// The window's client area in root coordinates.
screen_rect read_window_rect(Display* d, Window w);

// The desktop's double-click time in ms, from the X resource *.multiClickTime (as
// blockdash.multiClickTime); 0 when none is set.
int read_multi_click_ms(Display* d);
