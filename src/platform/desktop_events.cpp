// Runs on the main thread, between frames, on its own X connection: it never takes
// Allegro's X lock, which a thread that found the display gone may hold for good.
#include "platform/desktop_events.h"

#include <X11/extensions/Xrandr.h>

namespace {

int rr_event_base = -1;  // -1 without RandR
Atom state = 0, frame = 0, work_area = 0;

}  // namespace

void watch_the_desktop(Display* d, Window wm, Window client) {
    state = XInternAtom(d, "_NET_WM_STATE", False);
    frame = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
    work_area = XInternAtom(d, "_NET_WORKAREA", False);
    XSelectInput(d, wm, StructureNotifyMask | PropertyChangeMask | ExposureMask);
    if (client != wm) XSelectInput(d, client, ExposureMask);
    const Window root = DefaultRootWindow(d);
    XSelectInput(d, root, PropertyChangeMask);
    int error_base = 0;
    if (XRRQueryExtension(d, &rr_event_base, &error_base))
        XRRSelectInput(d, root, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    else
        rr_event_base = -1;
}

desktop_news read_desktop_news(Display* d, Window wm) {
    desktop_news news;
    while (XPending(d)) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == ConfigureNotify && e.xconfigure.window == wm) {
            news.resized = true;
            news.w = e.xconfigure.width;
            news.h = e.xconfigure.height;
        } else if (e.type == Expose) {
            news.exposed = true;
        } else if (e.type == PropertyNotify) {
            news.state |= e.xproperty.window == wm && e.xproperty.atom == state;
            news.frame |= e.xproperty.window == wm && e.xproperty.atom == frame;
            news.screens |= e.xproperty.window != wm && e.xproperty.atom == work_area;
        } else if (rr_event_base >= 0 && (e.type == rr_event_base + RRScreenChangeNotify ||
                                          e.type == rr_event_base + RRNotify)) {
            XRRUpdateConfiguration(&e);
            news.screens = true;
        }
    }
    return news;
}
