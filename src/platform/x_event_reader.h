// Allegro's X event reader, called only when an event is waiting.
#pragma once

#include <X11/Xlib.h>

// On X11, after install_allegro(): skips the reader's round trip when no event waits.
// Events for which `is_ours` is true (the manager's pings, which Allegro would drop) are
// taken out of the queue first and given to `handle`; `is_ours` may not call Xlib.
void read_x_events_only_when_pending(Bool (*is_ours)(Display*, XEvent*, XPointer),
                                     void (*handle)(Display*, const XEvent&));
