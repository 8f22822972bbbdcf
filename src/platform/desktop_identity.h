// How the game's window introduces itself to the desktop: its names, its process and
// machine (so a manager can offer to end a hung game), the answers to the manager's
// "are you alive?" pings, and the end of the launcher's busy cursor.
#pragma once

#include <X11/Xlib.h>

// Before the window is first shown.
void introduce_window(Display* d, Window w);

// The manager's ping, as an Xlib event predicate (no Xlib calls), and its answer.
Bool is_ping(Display* d, XEvent* e, XPointer);
void answer_ping(Display* d, const XEvent& e);

// Tells the launcher that started the game (DESKTOP_STARTUP_ID) that it is up: once,
// when the first picture is on the screen.
void end_launch_notice(Display* d, Window w);
