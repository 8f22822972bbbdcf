// Allegro's reader of the window's events, behind a check for waiting events.
#include "platform/x_event_reader.h"

#include <allegro.h>
#include <xalleg.h>

// The library's own event reader, exported though not in its public headers (the build
// checks that it is there): the one place it is used.
extern "C" void _xwin_private_handle_input(void);

namespace {

// Allegro's reader begins with a round trip to the X server every 10 ms; when no event
// is waiting, a flush is all that is needed. The reader's "warped" mode, which follows the
// pointer by relative motion and pulls the desktop's pointer back into the window, is for
// games that read mickeys; this one reads positions, in a window that moves, so it stays off.
Bool (*ours)(Display*, XEvent*, XPointer) = nullptr;
void (*handle_ours)(Display*, const XEvent&) = nullptr;

void read_events_when_pending() {
    if (!_xwin.display) return;
    _xwin.mouse_warped = 0;
    if (!XPending(_xwin.display)) return;
    XEvent e;
    while (ours && XCheckIfEvent(_xwin.display, &e, ours, nullptr)) handle_ours(_xwin.display, e);
    _xwin_private_handle_input();
}

}  // namespace

void read_x_events_only_when_pending(Bool (*is_ours)(Display*, XEvent*, XPointer),
                                     void (*handle)(Display*, const XEvent&)) {
    ours = is_ours;
    handle_ours = handle;
    _xwin_input_handler = read_events_when_pending;
}
