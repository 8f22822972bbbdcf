// Reading the desktop: RandR monitors with a Xinerama fallback, the work area, the
// manager's check window and _NET_SUPPORTED, the window's frame and state. The main thread
// calls these, at start-up and between frames, on its own connection.
#include "platform/desktop_facts.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdlib>

namespace {

Atom atom(Display* d, const char* name) { return XInternAtom(d, name, False); }

int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// A manager that follows the desktop conventions names its check window on the root and
// on that window itself; a stale name left by a manager that died is not believed.
bool manager_running(Display* d, Window root) {
    const Atom check = atom(d, "_NET_SUPPORTING_WM_CHECK");
    const std::vector<long> on_root = long_property(d, root, check, XA_WINDOW);
    if (on_root.empty()) return false;
    XSync(d, False);
    XErrorHandler previous = XSetErrorHandler(ignore_x_error);
    const std::vector<long> on_child = long_property(d, Window(on_root[0]), check, XA_WINDOW);
    XSync(d, False);
    XSetErrorHandler(previous);
    return !on_child.empty() && on_child[0] == on_root[0];
}

void read_randr_monitors(Display* d, desktop_facts& facts) {
    int event_base = 0, error_base = 0, count = 0;
    if (!XRRQueryExtension(d, &event_base, &error_base)) return;
    XRRMonitorInfo* info = XRRGetMonitors(d, DefaultRootWindow(d), True, &count);
    for (int i = 0; info && i < count; ++i) {
        if (info[i].primary) facts.primary = static_cast<int>(facts.monitors.size());
        facts.monitors.push_back({info[i].x, info[i].y, info[i].width, info[i].height});
        char* name = info[i].name ? XGetAtomName(d, info[i].name) : nullptr;
        facts.monitor_names.push_back(name ? name : "");
        if (name) XFree(name);
    }
    if (info) XRRFreeMonitors(info);
}

// Older multi-monitor desktops (and some nested servers) list their screens only here.
void read_xinerama_screens(Display* d, desktop_facts& facts) {
    int event_base = 0, error_base = 0, count = 0;
    if (!XineramaQueryExtension(d, &event_base, &error_base) || !XineramaIsActive(d)) return;
    XineramaScreenInfo* screens = XineramaQueryScreens(d, &count);
    for (int i = 0; screens && i < count; ++i) {
        facts.monitors.push_back({screens[i].x_org, screens[i].y_org, screens[i].width, screens[i].height});
        facts.monitor_names.push_back("xinerama-" + std::to_string(i));
    }
    if (screens) XFree(screens);
    facts.primary = 0;
}

// True when the monitors reach exactly to the screen's edges (or there are none).
bool monitors_span(const std::vector<screen_rect>& monitors, const screen_rect& whole) {
    if (monitors.empty()) return true;
    int right = 0, bottom = 0;
    for (const screen_rect& m : monitors) {
        right = std::max(right, m.x + m.w);
        bottom = std::max(bottom, m.y + m.h);
    }
    return right == whole.w && bottom == whole.h;
}

}  // namespace

std::vector<long> long_property(Display* d, Window w, Atom property, Atom type) {
    std::vector<long> values;
    Atom actual_type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, property, 0, 1024, False, type, &actual_type, &format, &count,
                           &after, &data) == Success &&
        actual_type == type && format == 32 && data)
        values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    if (data) XFree(data);
    return values;
}

desktop_facts read_desktop(Display* d) {
    desktop_facts facts;
    const Window root = DefaultRootWindow(d);
    const int screen = DefaultScreen(d);
    const screen_rect whole{0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen)};
    read_randr_monitors(d, facts);
    if (!monitors_span(facts.monitors, whole)) {
        // Some servers (nested ones, resized as a window) change the screen before their
        // monitors, which follow only once asked to look at their outputs again.
        if (XRRScreenResources* polled = XRRGetScreenResources(d, root)) XRRFreeScreenResources(polled);
        facts = {};
        read_randr_monitors(d, facts);
    }
    // A server may list its screens to Xinerama alone, RandR seeing one "default" monitor
    // over the first of them: the longer list is the desktop's.
    desktop_facts xinerama;
    read_xinerama_screens(d, xinerama);
    if (xinerama.monitors.size() > facts.monitors.size()) facts = xinerama;
    if (facts.monitors.empty()) {
        facts.monitors.push_back(whole);
        facts.monitor_names.push_back("");
        facts.primary = 0;
    }
    const std::vector<long> area = long_property(d, root, atom(d, "_NET_WORKAREA"), XA_CARDINAL);
    facts.work_area = area.size() >= 4 ? screen_rect{int(area[0]), int(area[1]), int(area[2]), int(area[3])}
                                       : whole;
    facts.has_manager = manager_running(d, root);
    if (facts.has_manager) {
        const Atom fullscreen = atom(d, "_NET_WM_STATE_FULLSCREEN");
        const Atom frame = atom(d, "_NET_REQUEST_FRAME_EXTENTS");
        for (long a : long_property(d, root, atom(d, "_NET_SUPPORTED"), XA_ATOM)) {
            facts.manager_does_fullscreen |= Atom(a) == fullscreen;
            facts.manager_tells_frame |= Atom(a) == frame;
        }
    }
    return facts;
}

int monitor_named(const desktop_facts& facts, const std::string& name) {
    if (name.empty()) return facts.primary;
    const auto found = std::find(facts.monitor_names.begin(), facts.monitor_names.end(), name);
    return found == facts.monitor_names.end() ? facts.primary
                                              : static_cast<int>(found - facts.monitor_names.begin());
}

frame_extents read_frame_extents(Display* d, Window w, bool* known) {
    const std::vector<long> v = long_property(d, w, atom(d, "_NET_FRAME_EXTENTS"), XA_CARDINAL);
    *known = v.size() >= 4;
    if (!*known) return {};
    return {int(v[0]), int(v[1]), int(v[2]), int(v[3])};
}

bool read_fullscreen_state(Display* d, Window w) {
    const Atom fullscreen = atom(d, "_NET_WM_STATE_FULLSCREEN");
    for (long a : long_property(d, w, atom(d, "_NET_WM_STATE"), XA_ATOM))
        if (Atom(a) == fullscreen) return true;
    return false;
}

screen_rect read_window_rect(Display* d, Window w) {
    Window root = 0, child = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(d, w, &root, &x, &y, &width, &height, &border, &depth)) return {};
    XTranslateCoordinates(d, w, root, 0, 0, &x, &y, &child);
    return {x, y, int(width), int(height)};
}

int read_multi_click_ms(Display* d) {
    const char* resources = XResourceManagerString(d);
    if (!resources) return 0;
    XrmInitialize();
    XrmDatabase db = XrmGetStringDatabase(resources);
    if (!db) return 0;
    char* type = nullptr;
    XrmValue value{};
    long ms = 0;
    if (XrmGetResource(db, "blockdash.multiClickTime", "Blockdash.MultiClickTime", &type, &value) && value.addr) {
        char* end = nullptr;
        ms = std::strtol(value.addr, &end, 10);
        // A time no person would set is a typing slip, not a wish for clicks that never end.
        if (end == value.addr || ms < 0 || ms > 5000) ms = 0;
    }
    XrmDestroyDatabase(db);
    return static_cast<int>(ms);
}
