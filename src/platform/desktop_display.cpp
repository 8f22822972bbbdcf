// The desktop display. On X11 the game asks Allegro for a plain window as large as the
// largest monitor (so no mode is ever switched) and then shapes that window itself: the
// desktop's full-screen state, or a window of 640k x 480k. The picture is scaled into
// Allegro's screen by a whole factor and only the rows that changed are sent to X.
#include "platform/desktop_display.h"

#include <allegro.h>
#include <xalleg.h>
#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/display_loss.h"
#include "platform/x_event_reader.h"
#include "platform/picture_scaler.h"
#include "platform/picture_size.h"
#include "platform/window_focus.h"

namespace {

// The layout, packed so the input side reads it in one piece while the presenter changes it.
std::atomic<uint64_t> packed_layout{(uint64_t{1} << 48)};

uint64_t pack(const picture_layout& at) {
    return (uint64_t(at.k) << 48) | (uint64_t(uint16_t(at.left)) << 16) | uint16_t(at.top);
}

void publish_layout(const picture_layout& at) { packed_layout = pack(at); }

std::atomic<bool> switch_requested{false};
void (*choice_listener)(bool fullscreen) = nullptr;
bool fullscreen = true;
bool on_x11 = false;
int window_scale = 0;  // the player's --scale, 0 for the largest that fits

// What the desktop offers, read at start and again at each switch.
struct desktop_facts {
    std::vector<screen_rect> monitors;
    int primary = 0;
    screen_rect work_area;
    bool has_manager = false;
    bool manager_does_fullscreen = false;
};

int virtual_w = screen_w, virtual_h = screen_h;  // the size of Allegro's screen
Cursor arrow = 0;
bool pointer_hidden = true;  // Allegro starts with its invisible cursor on the window

// ---- reading the desktop ----

Atom atom(const char* name) { return XInternAtom(_xwin.display, name, False); }

int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// The longs of a 32-bit property, empty when it is missing or of another type.
std::vector<long> long_property(Window w, Atom property, Atom type) {
    std::vector<long> values;
    Atom actual_type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(_xwin.display, w, property, 0, 1024, False, type, &actual_type,
                           &format, &count, &after, &data) == Success &&
        actual_type == type && format == 32 && data)
        values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    if (data) XFree(data);
    return values;
}

// A manager that follows the desktop conventions names its check window on the root and
// on that window itself; a stale name left by a manager that died is not believed.
bool manager_running(Window root) {
    const Atom check = atom("_NET_SUPPORTING_WM_CHECK");
    const std::vector<long> on_root = long_property(root, check, XA_WINDOW);
    if (on_root.empty()) return false;
    XSync(_xwin.display, False);
    XErrorHandler previous = XSetErrorHandler(ignore_x_error);
    const std::vector<long> on_child = long_property(Window(on_root[0]), check, XA_WINDOW);
    XSync(_xwin.display, False);
    XSetErrorHandler(previous);
    return !on_child.empty() && on_child[0] == on_root[0];
}

std::vector<screen_rect> randr_monitors(int& primary) {
    std::vector<screen_rect> monitors;
    int event_base = 0, error_base = 0, count = 0;
    if (!XRRQueryExtension(_xwin.display, &event_base, &error_base)) return monitors;
    XRRMonitorInfo* info = XRRGetMonitors(_xwin.display, DefaultRootWindow(_xwin.display), True, &count);
    for (int i = 0; info && i < count; ++i) {
        if (info[i].primary) primary = static_cast<int>(monitors.size());
        monitors.push_back({info[i].x, info[i].y, info[i].width, info[i].height});
    }
    if (info) XRRFreeMonitors(info);
    return monitors;
}

desktop_facts read_desktop() {
    desktop_facts facts;
    Display* d = _xwin.display;
    const Window root = DefaultRootWindow(d);
    const screen_rect whole{0, 0, DisplayWidth(d, _xwin.screen), DisplayHeight(d, _xwin.screen)};
    facts.monitors = randr_monitors(facts.primary);
    if (facts.monitors.empty()) {
        facts.monitors.push_back(whole);
        facts.primary = 0;
    }
    const std::vector<long> area = long_property(root, atom("_NET_WORKAREA"), XA_CARDINAL);
    facts.work_area = area.size() >= 4 ? screen_rect{int(area[0]), int(area[1]), int(area[2]), int(area[3])}
                                       : whole;
    facts.has_manager = manager_running(root);
    if (facts.has_manager) {
        const Atom wanted = atom("_NET_WM_STATE_FULLSCREEN");
        for (long a : long_property(root, atom("_NET_SUPPORTED"), XA_ATOM))
            if (Atom(a) == wanted) facts.manager_does_fullscreen = true;
    }
    return facts;
}

// The monitor under the middle of our window; the primary one before it is shown.
int current_monitor(const desktop_facts& facts, bool mapped) {
    if (!mapped) return facts.primary;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(_xwin.display, _xwin.wm_window, DefaultRootWindow(_xwin.display),
                          _xwin.window_width / 2, _xwin.window_height / 2, &x, &y, &child);
    return monitor_at(facts.monitors, x, y, facts.primary);
}

// Allegro's screen is as large as it will ever need to be; a monitor plugged in later that
// is larger still gets the part of it that fits.
screen_rect within_screen(screen_rect monitor) {
    monitor.w = std::min(monitor.w, virtual_w);
    monitor.h = std::min(monitor.h, virtual_h);
    return monitor;
}

// Full screen, unless a window manager runs that does not offer it.
bool offers_fullscreen(const desktop_facts& facts) {
    return !facts.has_manager || facts.manager_does_fullscreen;
}

display_plan plan_for(const desktop_facts& facts, int monitor, bool* reduced) {
    const screen_rect m = within_screen(facts.monitors[monitor]);
    return fullscreen ? plan_fullscreen(m) : plan_window(m, facts.work_area, window_scale, reduced);
}

// ---- shaping the window ----

void send_fullscreen_state(bool on) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = _xwin.wm_window;
    e.xclient.message_type = atom("_NET_WM_STATE");
    e.xclient.format = 32;
    e.xclient.data.l[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
    e.xclient.data.l[1] = long(atom("_NET_WM_STATE_FULLSCREEN"));
    e.xclient.data.l[3] = 1;  // from a normal application
    XSendEvent(_xwin.display, DefaultRootWindow(_xwin.display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

// Before the window is first shown, so the manager maps it full screen straight away.
void preset_fullscreen_state() {
    const Atom state = atom("_NET_WM_STATE_FULLSCREEN");
    XChangeProperty(_xwin.display, _xwin.wm_window, atom("_NET_WM_STATE"), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&state), 1);
}

void set_size_hints(const display_plan& plan) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PBaseSize | PPosition;
    hints->x = plan.window.x;
    hints->y = plan.window.y;
    hints->base_width = plan.window.w;
    hints->base_height = plan.window.h;
    if (!fullscreen) {  // a window of a fixed size; full screen must be free to grow
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = plan.window.w;
        hints->min_height = hints->max_height = plan.window.h;
    }
    XSetWMNormalHints(_xwin.display, _xwin.wm_window, hints);
    XFree(hints);
}

// Allegro keeps the window's size in a few places of its own: redraws and the pointer
// are clipped to them.
void tell_allegro_window_size(int w, int h) {
    _xwin.window_width = _xwin.screen_width = w;
    _xwin.window_height = _xwin.screen_height = h;
    XResizeWindow(_xwin.display, _xwin.window, w, h);
}

void shape_window(const desktop_facts& facts, const display_plan& plan) {
    Display* d = _xwin.display;
    tell_allegro_window_size(plan.window.w, plan.window.h);
    set_size_hints(plan);
    if (facts.has_manager) {
        send_fullscreen_state(fullscreen);
        if (!fullscreen)
            XMoveResizeWindow(d, _xwin.wm_window, plan.window.x, plan.window.y, plan.window.w,
                              plan.window.h);
    } else {
        // Nobody else arranges windows: cover the monitor, or stand in its middle.
        XMoveResizeWindow(d, _xwin.wm_window, plan.window.x, plan.window.y, plan.window.w,
                          plan.window.h);
        XRaiseWindow(d, _xwin.wm_window);
    }
    XFlush(d);
}

// Guards Allegro's screen and the layout the presenter draws with. The main thread never
// waits on it for good: the presenter may have stopped on a lost display while holding it.
std::timed_mutex screen_mutex;

// The picture scaled up, sent to Allegro's screen with its public blit; as large as the
// largest picture Allegro's screen can hold.
BITMAP* scaled = nullptr;

void apply(const display_plan& plan) {
    lock_unless_display_lost(screen_mutex);
    publish_layout(plan.picture);
    clear_to_color(screen, makecol(0, 0, 0));
    screen_mutex.unlock();
}

// ---- keys and focus ----

// The game's own key watcher (the name entry's), which sees every key but these.
void (*next_key_watcher)(int scancode) = nullptr;

// F11 and Alt+Enter belong to the display: they must not also type or confirm a name.
void watch_switch_keys(int scancode) {
    if (scancode == KEY_F11) {
        key[KEY_F11] = 0;
        switch_requested = true;
    } else if (scancode == KEY_ENTER && (key[KEY_ALT] || key[KEY_ALTGR])) {
        key[KEY_ENTER] = 0;
        switch_requested = true;
    } else if (next_key_watcher) {
        next_key_watcher(scancode);
    }
}

int swallow_switch_keys(int k, int* scancode) {
    if (*scancode == KEY_F11 || (*scancode == KEY_ENTER && (key_shifts & KB_ALT_FLAG))) {
        *scancode = 0;
        return 0;
    }
    return k;
}

void on_focus_lost() { note_focus_loss(); }

// Allegro's own icon and class name would stand for the game on the desktop.
void name_the_window() {
    xwin_set_window_name("blockdash", "blockdash");
    XLOCK();
    XClassHint hint{const_cast<char*>("blockdash"), const_cast<char*>("blockdash")};
    XSetClassHint(_xwin.display, _xwin.wm_window, &hint);
    if (XWMHints* hints = XGetWMHints(_xwin.display, _xwin.wm_window)) {
        hints->flags &= ~(IconPixmapHint | IconMaskHint);
        XSetWMHints(_xwin.display, _xwin.wm_window, hints);
        XFree(hints);
    }
    XUNLOCK();
    set_window_title("Blockdash");
}

bool open_x11_window(const display_wish& wish, char* why, int why_size) {
    XLOCK();
    desktop_facts facts = read_desktop();
    window_scale = wish.scale;
    fullscreen = wish.fullscreen && offers_fullscreen(facts);

    for (const screen_rect& m : facts.monitors) {
        virtual_w = std::max(virtual_w, m.w);
        virtual_h = std::max(virtual_h, m.h);
    }
    bool reduced = false;
    const int monitor = facts.primary;
    display_plan plan = plan_for(facts, monitor, &reduced);
    if (reduced)
        std::fprintf(stderr, "blockdash: a window of %d times 640x480 does not fit; using %d\n",
                     window_scale, plan.picture.k);
    XMoveWindow(_xwin.display, _xwin.wm_window, plan.window.x, plan.window.y);
    if (fullscreen && facts.has_manager) preset_fullscreen_state();
    XUNLOCK();

    if (set_gfx_mode(GFX_XWINDOWS, plan.window.w, plan.window.h, virtual_w, virtual_h) != 0) {
        std::fprintf(stderr, "blockdash: cannot open a %dx%d window (%s); trying 640x480\n",
                     plan.window.w, plan.window.h, allegro_error);
        XLOCK();
        XDeleteProperty(_xwin.display, _xwin.wm_window, atom("_NET_WM_STATE"));
        XUNLOCK();
        return false;
    }
    set_mouse_range(0, 0, virtual_w - 1, virtual_h - 1);
    const int k = largest_factor(virtual_w, virtual_h);
    scaled = create_bitmap(screen_w * k, screen_h * k);
    if (!scaled) {
        std::snprintf(why, why_size, "Out of memory creating a %dx%d picture.", screen_w * k, screen_h * k);
        return false;
    }
    XLOCK();
    arrow = XCreateFontCursor(_xwin.display, XC_left_ptr);
    shape_window(facts, plan);
    XUNLOCK();
    apply(plan);
    return true;
}

// Called with the X lock held; the caller applies the plan once it has let the lock go.
display_plan carry_out_switch() {
    fullscreen = !fullscreen;
    const desktop_facts facts = read_desktop();
    fullscreen = fullscreen && offers_fullscreen(facts);
    const display_plan plan = plan_for(facts, current_monitor(facts, true), nullptr);
    shape_window(facts, plan);
    return plan;
}

}  // namespace

bool open_display(const display_wish& wish, char* why, int why_size) {
    on_x11 = system_driver && system_driver->id == SYSTEM_XWINDOWS && _xwin.display;
    if (on_x11) {
        name_the_window();
        if (open_x11_window(wish, why, why_size)) {
            read_x_events_only_when_pending();
            next_key_watcher = keyboard_lowlevel_callback;
            keyboard_lowlevel_callback = watch_switch_keys;
            keyboard_ucallback = swallow_switch_keys;
            set_display_switch_callback(SWITCH_OUT, on_focus_lost);
            return true;
        }
        on_x11 = false;
        publish_layout({});
        // Never Allegro's own full screen on X: it switches the monitor's mode and grabs
        // the keyboard. A plain window of the picture's size is the last resort.
        if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, screen_w, screen_h, 0, 0) == 0) return true;
    } else {
        // Elsewhere (a console), the library's own full screen, else its window.
        if (set_gfx_mode(GFX_AUTODETECT_FULLSCREEN, screen_w, screen_h, 0, 0) == 0) return true;
        if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, screen_w, screen_h, 0, 0) == 0) return true;
    }
    std::snprintf(why, why_size, "Cannot open a 640x480 display: %s", allegro_error);
    return false;
}

void on_display_choice_change(void (*listener)(bool fullscreen)) { choice_listener = listener; }

void set_window_icon(BITMAP* panel) {
    if (!on_x11 || !panel) return;
    // _NET_WM_ICON: width, height, then ARGB pixels; magenta is see-through.
    const int size = 64;
    std::vector<long> icon{size, size};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int c = getpixel(panel, 64 + x, y);
            const bool clear = getr(c) == 255 && getg(c) == 0 && getb(c) == 255;
            icon.push_back(clear ? 0 : long(0xff000000u | (getr(c) << 16) | (getg(c) << 8) | getb(c)));
        }
    XLOCK();
    XChangeProperty(_xwin.display, _xwin.wm_window, atom("_NET_WM_ICON"), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()),
                    static_cast<int>(icon.size()));
    XUNLOCK();
}

bool follow_display_requests() {
    if (!on_x11) return false;
    const bool switching = switch_requested.exchange(false);
    // The game draws its own aim cursor over the picture; the desktop's arrow elsewhere.
    const bool over_picture = on_picture(current_picture_layout(), mouse_x, mouse_y);
    if (!switching && over_picture == pointer_hidden) return false;  // most waits: nothing
    display_plan plan;
    XLOCK();
    if (switching) plan = carry_out_switch();
    if (over_picture != pointer_hidden) {
        XDefineCursor(_xwin.display, _xwin.window, over_picture ? _xwin.cursor : arrow);
        XFlush(_xwin.display);
        pointer_hidden = over_picture;
    }
    XUNLOCK();
    if (!switching) return false;
    // The presenter takes the screen's lock before the X lock, so this does too.
    apply(plan);
    if (choice_listener) choice_listener(fullscreen);
    return true;
}

void show_picture_rows(BITMAP* picture, int top, int bottom) {
    std::lock_guard<std::timed_mutex> guard(screen_mutex);
    const picture_layout at = current_picture_layout();
    if (at.k == 1) {
        blit(picture, screen, 0, top, at.left, at.top + top, screen_w, bottom - top);
    } else {
        scale_picture_rows(picture, scaled, {at.k, 0, 0}, top, bottom);
        blit(scaled, screen, 0, top * at.k, at.left, at.top + top * at.k, screen_w * at.k,
             (bottom - top) * at.k);
    }
    if (!on_x11) return;
    XLOCK();
    XFlush(_xwin.display);  // the input thread no longer flushes on a timer
    XUNLOCK();
}

picture_layout current_picture_layout() {
    const uint64_t p = packed_layout;
    return {int(p >> 48), int(int16_t(p >> 16)), int(int16_t(p))};
}

