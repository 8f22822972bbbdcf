// Runs on the main thread: at start-up, and between frames (the real host's wait) as the
// desktop's news comes in. All the state here is the main thread's.
#include "platform/window_shape.h"

#include <allegro.h>
#include <xalleg.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <algorithm>
#include <string>

#include "platform/desktop_facts.h"
#include "platform/monotonic_clock.h"
#include "platform/picture_size.h"
#include "platform/window_presenter.h"

namespace {

// The smallest window: a quarter of the picture, so a window fits the smallest screens.
constexpr int smallest_w = screen_w / 2, smallest_h = screen_h / 2;

Display* watch = nullptr;  // the main thread's own connection
Window wm = 0;             // the window the manager handles (Allegro's wm_window)
desktop_facts facts;
frame_extents window_frame;  // the frame of the window when it is not full screen
bool fullscreen = true;
int window_scale = 0;  // the player's --scale, 0 for the largest that fits
picture_scaling scaling = picture_scaling::automatic;
int window_w = 0, window_h = 0;  // the client area the picture is laid out in
// After the game placed its window, for a second: a frame or a size the manager gives it
// that puts part of it off its monitor's work area is corrected.
long long refit_until_ms = 0;
// The window asked for by a switch to the window (empty otherwise). A manager may first
// restore a size of its own as it leaves full screen; until the window has the size asked
// for, for a second at most, the game asks again.
screen_rect planned_window;

void (*choice_listener)(bool fullscreen, const char* monitor) = nullptr;
std::string told_monitor;  // the monitor the listener last heard of
int first_monitor = 0;     // the one start-up planned the window on

Atom atom(const char* name) { return XInternAtom(watch, name, False); }

// Full screen, unless a window manager runs that does not offer it.
bool offers_fullscreen() { return !facts.has_manager || facts.manager_does_fullscreen; }

// The monitor under the middle of the window.
int current_monitor() {
    const screen_rect r = read_window_rect(watch, wm);
    if (r.w == 0) return facts.primary;
    return monitor_at(facts.monitors, r.x + r.w / 2, r.y + r.h / 2, facts.primary);
}

display_plan plan_for(int monitor, bool* reduced) {
    const screen_rect m = presentable(facts.monitors[monitor]);
    return fullscreen ? plan_fullscreen(m)
                      : plan_window(m, facts.work_area, window_frame, window_scale, scaling, reduced);
}

void tell_listener(int monitor) {
    told_monitor = facts.monitor_names[monitor];
    if (choice_listener) choice_listener(fullscreen, told_monitor.c_str());
}

// A window moved onto another monitor: next time full screen starts there.
void follow_monitor() {
    const int monitor = current_monitor();
    if (facts.monitor_names[monitor] != told_monitor) tell_listener(monitor);
}

// The manager places a window by its frame's top-left corner (the default gravity), so a
// client area wanted at x, y is asked for at the frame's corner.
void move_resize(const screen_rect& client) {
    const bool framed = facts.has_manager && !fullscreen;
    const int x = client.x - (framed ? window_frame.left : 0);
    const int y = client.y - (framed ? window_frame.top : 0);
    XMoveResizeWindow(watch, wm, x, y, client.w, client.h);
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

// Any shape the player or the manager gives it, down to the smallest window (less only on
// a smaller monitor): the picture is laid out in whatever it gets. No gravity: the
// manager's default keeps the title bar where it places the frame.
void set_size_hints(const display_plan& plan, const screen_rect& monitor) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    const bool framed = facts.has_manager && !fullscreen;
    hints->flags = PPosition | PMinSize;
    hints->x = plan.window.x - (framed ? window_frame.left : 0);
    hints->y = plan.window.y - (framed ? window_frame.top : 0);
    hints->min_width = std::min(smallest_w, monitor.w);
    hints->min_height = std::min(smallest_h, monitor.h);
    XSetWMNormalHints(watch, wm, hints);
    XFree(hints);
}

void shape_window(const display_plan& plan, int monitor) {
    set_size_hints(plan, facts.monitors[monitor]);
    if (facts.has_manager) {
        send_fullscreen_state(fullscreen);
        if (!fullscreen) move_resize(plan.window);
    } else {
        // Nobody else arranges windows: cover the monitor, or stand in its middle.
        move_resize(plan.window);
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
    const screen_rect room = presentable({0, 0, w, h});
    const picture_layout at = lay_out_picture(room.w, room.h, scaling);
    if (w == window_w && h == window_h && at == current_picture_layout()) return false;
    window_w = w;
    window_h = h;
    tell_allegro_window_size(w, h);
    present_layout(w, h, at);
    return true;
}

// A window that, frame included, reaches past its monitor's work area is moved and
// shrunk onto it.
void keep_window_on_screen() {
    if (fullscreen) return;
    const screen_rect now = read_window_rect(watch, wm);
    if (planned_window.w > 0) {
        if (now.w != planned_window.w || now.h != planned_window.h) {
            move_resize(planned_window);
            XFlush(watch);
            return;
        }
        planned_window = {};  // it has the size asked for: from here the manager's changes stand
    }
    const int monitor = current_monitor();
    const screen_rect room = room_on(facts.monitors[monitor], facts.work_area);
    const screen_rect fitted = fit_window(now, window_frame, room);
    if (fitted == now) return;
    move_resize(fitted);
    XFlush(watch);
}

}  // namespace

display_plan begin_window_shape(Display* d, Window w, const display_wish& wish, bool* reduced) {
    watch = d;
    wm = w;
    facts = read_desktop(watch);
    window_scale = wish.scale;
    scaling = wish.scaling;
    fullscreen = wish.fullscreen && offers_fullscreen();
    learn_frame_before_mapping();
    first_monitor = monitor_named(facts, wish.monitor);
    told_monitor = wish.monitor;
    const display_plan plan = plan_for(first_monitor, reduced);
    const bool framed = facts.has_manager && !fullscreen;
    XMoveWindow(watch, wm, plan.window.x - (framed ? window_frame.left : 0),
                plan.window.y - (framed ? window_frame.top : 0));
    if (fullscreen && facts.has_manager) preset_fullscreen_state();
    XSync(watch, False);
    return plan;
}

void abandon_window_shape() {
    XDeleteProperty(watch, wm, atom("_NET_WM_STATE"));
    XSync(watch, False);
}

void finish_window_shape(const display_plan& plan) {
    shape_window(plan, first_monitor);
    lay_out_window(plan.window.w, plan.window.h);
}

screen_rect largest_monitor() {
    screen_rect largest{0, 0, screen_w, screen_h};
    for (const screen_rect& m : facts.monitors) {
        largest.w = std::max(largest.w, m.w);
        largest.h = std::max(largest.h, m.h);
    }
    return largest;
}

void tell_display_choices_to(void (*listener)(bool fullscreen, const char* monitor)) {
    choice_listener = listener;
}

void switch_fullscreen() {
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

// Full screen covers its monitor again, and a window that no longer fits shrinks onto it.
void follow_screens() {
    facts = read_desktop(watch);
    const int monitor = current_monitor();
    if (fullscreen) {
        const screen_rect m = presentable(facts.monitors[monitor]);
        XMoveResizeWindow(watch, wm, m.x, m.y, m.w, m.h);
        XFlush(watch);
    } else {
        keep_window_on_screen();
    }
}

bool follow_window_size(int w, int h) {
    const bool changed = lay_out_window(w, h);
    if (facts.monitors.size() > 1) follow_monitor();
    return changed;
}

void refit_while_settling() {
    if (monotonic_ms() < refit_until_ms) keep_window_on_screen();
    else planned_window = {};
}
