// The desktop display. On X11 the game asks Allegro for a plain window (so no mode is ever
// switched) and then shapes that window itself: the desktop's full-screen state, or a
// window the player and the manager may resize. The picture is scaled into an image as
// large as the window, which follows the window's size, and only the rows that changed
// are sent to X. The main thread reads the desktop on a connection of its own, so its
// round trips never hold up the presenter or Allegro's event reader.
#include "platform/desktop_display.h"

#include <allegro.h>
#include <xalleg.h>
#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop_facts.h"
#include "platform/desktop_identity.h"
#include "platform/display_loss.h"
#include "platform/monotonic_clock.h"
#include "platform/picture_scaler.h"
#include "platform/picture_size.h"
#include "platform/window_focus.h"
#include "platform/window_image.h"
#include "platform/x_event_reader.h"

namespace {

uint64_t pack(const picture_layout& at) {
    return (uint64_t(uint16_t(at.left)) << 48) | (uint64_t(uint16_t(at.top)) << 32) |
           (uint64_t(uint16_t(at.w)) << 16) | uint16_t(at.h);
}

// The layout, packed so the input side reads it in one piece while the main thread changes it.
std::atomic<uint64_t> packed_layout{pack(picture_layout{})};

void publish_layout(const picture_layout& at) { packed_layout = pack(at); }

std::atomic<bool> switch_requested{false};
void (*choice_listener)(bool fullscreen, const char* monitor) = nullptr;
bool fullscreen = true;
bool on_x11 = false;
int window_scale = 0;  // the player's --scale, 0 for the largest that fits
picture_scaling scaling = picture_scaling::automatic;

// ---- the main thread's view of the desktop ----
// Once the game runs, the main thread takes no X lock: it reads and asks on a connection of
// its own, and a thread that found the display gone may hold Allegro's lock for good.

Display* watch = nullptr;  // the main thread's own connection
Window wm = 0;             // the window the manager handles (Allegro's wm_window)
desktop_facts facts;
frame_extents window_frame;  // the frame of the window when it is not full screen
int rr_event_base = -1;
int window_w = 0, window_h = 0;  // the client area the picture is laid out in
// After the game placed its window, for a second: a frame or a size the manager gives it
// that puts part of it off its monitor's work area is corrected.
long long refit_until_ms = 0;
// The window asked for by a switch to the window (empty otherwise). A manager may first
// restore a size of its own as it leaves full screen; until the window has the size asked
// for, for a second at most, the game asks again.
screen_rect planned_window;

Cursor arrow = 0;
bool pointer_hidden = true;  // Allegro starts with its invisible cursor on the window
bool launch_notice_due = true;

// ---- what the presenter draws with, guarded by screen_mutex ----

// The main thread never waits on it for good: the presenter may have stopped on a lost
// display while holding it.
std::timed_mutex screen_mutex;
bool use_image = false;         // false where the visual wants another pixel layout
window_image* image = nullptr;  // the window's picture on X
picture_layout shown_layout;
bool whole_window_due = true;  // the borders too, after a new layout or an exposure
// A layout the main thread asked for; the presenter, which holds the X lock anyway, makes
// its image.
bool layout_pending = false;
int pending_w = 0, pending_h = 0;
picture_layout pending_layout;
std::atomic<bool> first_picture_shown{false};

// Where the visual does not take the scaler's pixels (rare), the picture goes through
// Allegro's screen, which cannot grow: it is made as large as the largest monitor.
BITMAP* scaled = nullptr;
int virtual_w = screen_w, virtual_h = screen_h;

Atom atom(const char* name) { return XInternAtom(watch, name, False); }

// Full screen, unless a window manager runs that does not offer it.
bool offers_fullscreen() { return !facts.has_manager || facts.manager_does_fullscreen; }

screen_rect within_screen(screen_rect monitor) {
    if (use_image || !scaled) return monitor;
    monitor.w = std::min(monitor.w, virtual_w);
    monitor.h = std::min(monitor.h, virtual_h);
    return monitor;
}

// The monitor under the middle of the window.
int current_monitor() {
    const screen_rect r = read_window_rect(watch, wm);
    if (r.w == 0) return facts.primary;
    return monitor_at(facts.monitors, r.x + r.w / 2, r.y + r.h / 2, facts.primary);
}

display_plan plan_for(int monitor, bool* reduced) {
    const screen_rect m = within_screen(facts.monitors[monitor]);
    return fullscreen ? plan_fullscreen(m, scaling)
                      : plan_window(m, facts.work_area, window_frame, window_scale, scaling, reduced);
}

std::string told_monitor;  // the monitor the listener last heard of

void tell_listener(int monitor) {
    told_monitor = facts.monitor_names[monitor];
    if (choice_listener) choice_listener(fullscreen, told_monitor.c_str());
}

// A window moved onto another monitor: next time full screen starts there.
void follow_monitor() {
    const int monitor = current_monitor();
    if (facts.monitor_names[monitor] != told_monitor) tell_listener(monitor);
}

// ---- shaping the window ----

void send_fullscreen_state(bool on) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = wm;
    e.xclient.message_type = atom("_NET_WM_STATE");
    e.xclient.format = 32;
    e.xclient.data.l[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
    e.xclient.data.l[1] = long(atom("_NET_WM_STATE_FULLSCREEN"));
    e.xclient.data.l[3] = 1;  // from a normal application
    XSendEvent(watch, DefaultRootWindow(watch), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

// Before the window is first shown, so the manager maps it full screen straight away.
void preset_fullscreen_state() {
    const Atom state = atom("_NET_WM_STATE_FULLSCREEN");
    XChangeProperty(watch, wm, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&state), 1);
}

// Any size from 640x480 up (less only on a smaller monitor), 4:3 where the manager keeps
// an aspect; placed by its client area, so the frame is the manager's to add.
void set_size_hints(const display_plan& plan, const screen_rect& monitor) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PPosition | PMinSize | PWinGravity;
    hints->x = plan.window.x;
    hints->y = plan.window.y;
    hints->min_width = std::min(screen_w, monitor.w);
    hints->min_height = std::min(screen_h, monitor.h);
    hints->win_gravity = StaticGravity;
    if (!fullscreen) {
        hints->flags |= PAspect;
        hints->min_aspect.x = hints->max_aspect.x = 4;
        hints->min_aspect.y = hints->max_aspect.y = 3;
    }
    XSetWMNormalHints(watch, wm, hints);
    XFree(hints);
}

void shape_window(const display_plan& plan, int monitor) {
    set_size_hints(plan, facts.monitors[monitor]);
    const screen_rect& w = plan.window;
    if (facts.has_manager) {
        send_fullscreen_state(fullscreen);
        if (!fullscreen) XMoveResizeWindow(watch, wm, w.x, w.y, w.w, w.h);
    } else {
        // Nobody else arranges windows: cover the monitor, or stand in its middle.
        XMoveResizeWindow(watch, wm, w.x, w.y, w.w, w.h);
        XRaiseWindow(watch, wm);
    }
    XFlush(watch);
    refit_until_ms = monotonic_ms() + 1000;
}

// Asks the manager, before the window is shown, how large its frame will be; a manager
// that supports the request answers at once.
void learn_frame_before_mapping() {
    if (!facts.manager_tells_frame) return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = wm;
    e.xclient.message_type = atom("_NET_REQUEST_FRAME_EXTENTS");
    e.xclient.format = 32;
    XSendEvent(watch, DefaultRootWindow(watch), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(watch);
    bool known = false;
    for (int tries = 0; tries < 40 && !known; ++tries) {
        const frame_extents f = read_frame_extents(watch, wm, &known);
        if (known) window_frame = f;
        else poll(nullptr, 0, 5);
    }
}

// Allegro keeps the window's size for itself; its child window, where it has one, covers
// the client area.
void tell_allegro_window_size(int w, int h) {
    _xwin.window_width = w;
    _xwin.window_height = h;
    if (_xwin.window != wm) XResizeWindow(watch, _xwin.window, w, h);
}

// The picture laid out again for a client area of w x h, from the presenter's next tick.
// False when nothing changed.
bool lay_out_window(int w, int h) {
    if (w <= 0 || h <= 0) return false;
    const screen_rect room = within_screen({0, 0, w, h});
    const picture_layout at = lay_out_picture(room.w, room.h, scaling);
    if (w == window_w && h == window_h && at == current_picture_layout()) return false;
    window_w = w;
    window_h = h;
    tell_allegro_window_size(w, h);
    lock_unless_display_lost(screen_mutex);
    layout_pending = true;
    pending_w = w;
    pending_h = h;
    pending_layout = at;
    publish_layout(at);
    screen_mutex.unlock();
    return true;
}

// Presenter side, under the screen's lock and the X lock: an image of the new size in
// place of the old one (which stays where memory runs out), or Allegro's screen cleared.
void take_pending_layout() {
    layout_pending = false;
    whole_window_due = true;
    if (!use_image) {
        clear_to_color(screen, makecol(0, 0, 0));
        shown_layout = pending_layout;
        return;
    }
    window_image* fresh = make_window_image(_xwin.display, pending_w, pending_h);
    if (!fresh) return;
    destroy_window_image(_xwin.display, image);
    image = fresh;
    shown_layout = pending_layout;
}

// A window that, frame included, reaches past its monitor's work area is moved and
// shrunk onto it.
void keep_window_on_screen() {
    if (fullscreen) return;
    const screen_rect now = read_window_rect(watch, wm);
    if (planned_window.w > 0) {
        if (now.w != planned_window.w || now.h != planned_window.h) {
            XMoveResizeWindow(watch, wm, planned_window.x, planned_window.y, planned_window.w,
                              planned_window.h);
            XFlush(watch);
            return;
        }
        planned_window = {};  // it has the size asked for: from here the manager's changes stand
    }
    const int monitor = current_monitor();
    const screen_rect room = room_on(facts.monitors[monitor], facts.work_area);
    const screen_rect fitted = fit_window(now, window_frame, room);
    if (fitted == now) return;
    XMoveResizeWindow(watch, wm, fitted.x, fitted.y, fitted.w, fitted.h);
    XFlush(watch);
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

// Allegro repaints its own screen on an exposure; the image is ours to repaint.
void leave_redraws_to_the_presenter(int, int, int, int) {}

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
    introduce_window(_xwin.display, _xwin.wm_window);
    XUNLOCK();
    set_window_title("Blockdash");
}

// ---- following the desktop ----

struct desktop_news {
    bool resized = false, state = false, frame = false, screens = false, exposed = false;
    int w = 0, h = 0;
};

// What the server said since the last look; several sizes in a row count as the last.
desktop_news read_news() {
    desktop_news news;
    const Atom state = atom("_NET_WM_STATE"), frame = atom("_NET_FRAME_EXTENTS");
    const Atom work_area = atom("_NET_WORKAREA");
    while (XPending(watch)) {
        XEvent e;
        XNextEvent(watch, &e);
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

void watch_the_desktop() {
    XSelectInput(watch, wm, StructureNotifyMask | PropertyChangeMask | ExposureMask);
    if (_xwin.window != wm) XSelectInput(watch, _xwin.window, ExposureMask);
    const Window root = DefaultRootWindow(watch);
    XSelectInput(watch, root, PropertyChangeMask);
    int error_base = 0;
    if (XRRQueryExtension(watch, &rr_event_base, &error_base))
        XRRSelectInput(watch, root, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    else
        rr_event_base = -1;
}

// The manager's full-screen command, or its leaving full screen, is the player's choice too.
void follow_manager_state() {
    const bool now_fullscreen = read_fullscreen_state(watch, wm);
    if (now_fullscreen == fullscreen) return;
    fullscreen = now_fullscreen;
    const int monitor = current_monitor();
    set_size_hints(plan_for(monitor, nullptr), facts.monitors[monitor]);
    tell_listener(monitor);
}

void follow_frame() {
    bool known = false;
    const frame_extents f = read_frame_extents(watch, wm, &known);
    // Full screen has no frame; the window's is kept for the way back.
    if (known && !fullscreen) window_frame = f;
}

// Screens added, removed or resized, or a panel that moved: full screen covers its monitor
// again, and a window that no longer fits shrinks onto it.
void follow_screens() {
    facts = read_desktop(watch);
    const int monitor = current_monitor();
    if (fullscreen) {
        const screen_rect m = within_screen(facts.monitors[monitor]);
        XMoveResizeWindow(watch, wm, m.x, m.y, m.w, m.h);
        XFlush(watch);
    } else {
        keep_window_on_screen();
    }
}

void carry_out_switch() {
    fullscreen = !fullscreen;
    facts = read_desktop(watch);
    fullscreen = fullscreen && offers_fullscreen();
    const int monitor = current_monitor();
    const display_plan plan = plan_for(monitor, nullptr);
    shape_window(plan, monitor);
    planned_window = fullscreen ? screen_rect{} : plan.window;
    lay_out_window(plan.window.w, plan.window.h);  // as planned; the real size follows
    tell_listener(monitor);
}

// The game draws its own aim cursor over the picture; the desktop's arrow elsewhere.
void follow_pointer() {
    const bool over_picture = on_picture(current_picture_layout(), mouse_x, mouse_y);
    if (over_picture == pointer_hidden) return;
    XDefineCursor(watch, _xwin.window, over_picture ? _xwin.cursor : arrow);
    XFlush(watch);
    pointer_hidden = over_picture;
}

bool open_x11_window(const display_wish& wish, char* why, int why_size) {
    watch = XOpenDisplay(DisplayString(_xwin.display));
    if (!watch) return false;
    wm = _xwin.wm_window;
    use_image = window_images_work(watch);
    facts = read_desktop(watch);
    window_scale = wish.scale;
    scaling = wish.scaling;
    fullscreen = wish.fullscreen && offers_fullscreen();
    for (const screen_rect& m : facts.monitors) {
        virtual_w = std::max(virtual_w, m.w);
        virtual_h = std::max(virtual_h, m.h);
    }
    watch_the_desktop();
    learn_frame_before_mapping();
    const int monitor = monitor_named(facts, wish.monitor);
    told_monitor = wish.monitor;
    bool reduced = false;
    const display_plan plan = plan_for(monitor, &reduced);
    if (reduced)
        std::fprintf(stderr, "blockdash: a window of %d times 640x480 does not fit; using %dx%d\n",
                     window_scale, plan.window.w, plan.window.h);
    XMoveWindow(watch, wm, plan.window.x, plan.window.y);
    if (fullscreen && facts.has_manager) preset_fullscreen_state();
    XSync(watch, False);

    const int allegro_w = use_image ? 0 : virtual_w, allegro_h = use_image ? 0 : virtual_h;
    if (set_gfx_mode(GFX_XWINDOWS, plan.window.w, plan.window.h, allegro_w, allegro_h) != 0) {
        std::fprintf(stderr, "blockdash: cannot open a %dx%d window (%s); trying 640x480\n",
                     plan.window.w, plan.window.h, allegro_error);
        XDeleteProperty(watch, wm, atom("_NET_WM_STATE"));
        XCloseDisplay(watch);
        watch = nullptr;
        return false;
    }
    arrow = XCreateFontCursor(watch, XC_left_ptr);
    if (use_image) {
        _xwin_window_redrawer = leave_redraws_to_the_presenter;
        set_mouse_range(0, 0, 32767, 32767);  // the window may grow to any size
    } else {
        scaled = create_bitmap(virtual_w, virtual_h);
        if (!scaled) {
            std::snprintf(why, why_size, "Out of memory creating a %dx%d picture.", virtual_w, virtual_h);
            return false;
        }
        set_mouse_range(0, 0, virtual_w - 1, virtual_h - 1);
    }
    shape_window(plan, monitor);
    lay_out_window(plan.window.w, plan.window.h);
    return true;
}

}  // namespace

bool open_display(const display_wish& wish, char* why, int why_size) {
    on_x11 = system_driver && system_driver->id == SYSTEM_XWINDOWS && _xwin.display;
    if (on_x11) {
        name_the_window();
        if (open_x11_window(wish, why, why_size)) {
            read_x_events_only_when_pending(is_ping, answer_ping);
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

void on_display_choice_change(void (*listener)(bool fullscreen, const char* monitor)) {
    choice_listener = listener;
}

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
    XChangeProperty(watch, wm, atom("_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(icon.data()), static_cast<int>(icon.size()));
    XFlush(watch);
}

bool follow_display_requests() {
    if (!on_x11) return false;
    const desktop_news news = read_news();
    bool whole_picture = false;
    if (switch_requested.exchange(false)) {
        carry_out_switch();
        whole_picture = true;
    }
    if (news.state) follow_manager_state();
    if (news.frame) follow_frame();
    if (news.screens) follow_screens();
    if (news.resized) {
        whole_picture |= lay_out_window(news.w, news.h);
        if (facts.monitors.size() > 1) follow_monitor();
    }
    if (news.frame || news.resized || news.state) {
        if (monotonic_ms() < refit_until_ms) keep_window_on_screen();
        else planned_window = {};
    }
    if (news.exposed) {
        lock_unless_display_lost(screen_mutex);
        whole_window_due = true;
        screen_mutex.unlock();
        whole_picture = true;
    }
    follow_pointer();
    if (launch_notice_due && first_picture_shown) {
        end_launch_notice(watch, wm);
        launch_notice_due = false;
    }
    return whole_picture;
}

void show_picture_rows(BITMAP* picture, int top, int bottom) {
    std::lock_guard<std::timed_mutex> guard(screen_mutex);
    if (layout_pending) {
        XLOCK();
        take_pending_layout();
        XUNLOCK();
    }
    const picture_layout at = shown_layout;
    if (use_image) {
        if (!image) return;
        const row_span rows = scale_picture_rows(picture, image_pixels(image), at, top, bottom);
        const pixel_rows all = image_pixels(image);
        XLOCK();
        if (whole_window_due)
            put_image_rows(_xwin.display, _xwin.window, _xwin.gc, image, 0, 0, all.w, all.h);
        else
            put_image_rows(_xwin.display, _xwin.window, _xwin.gc, image, at.left, rows.top, at.w, rows.bottom);
        XFlush(_xwin.display);  // the input thread no longer flushes on a timer
        XUNLOCK();
        whole_window_due = false;
        first_picture_shown = true;
        return;
    }
    if (at.w == screen_w && at.h == screen_h) {
        blit(picture, screen, 0, top, at.left, at.top + top, screen_w, bottom - top);
    } else {
        const row_span rows = scale_picture_rows(picture, rows_of(scaled), {0, 0, at.w, at.h}, top, bottom);
        blit(scaled, screen, 0, rows.top, at.left, at.top + rows.top, at.w, rows.bottom - rows.top);
    }
    if (!on_x11) return;
    XLOCK();
    XFlush(_xwin.display);
    XUNLOCK();
    first_picture_shown = true;
}

picture_layout current_picture_layout() {
    const uint64_t p = packed_layout;
    return {int(int16_t(p >> 48)), int(int16_t(p >> 32)), int(uint16_t(p >> 16)), int(uint16_t(p))};
}
