// The desktop display, opened and tended by the main thread. On X11 the game asks Allegro
// for a plain window (so no mode is ever switched) and then shapes that window itself
// (window_shape.cpp); the presenter shows the picture in it (window_presenter.cpp). The
// main thread reads the desktop on a connection of its own, so its round trips never hold
// up the presenter or Allegro's event reader.
#include "platform/desktop_display.h"

#include <allegro.h>
#include <xalleg.h>
#include <X11/Xatom.h>

#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/desktop_events.h"
#include "platform/desktop_facts.h"
#include "platform/desktop_hooks.h"
#include "platform/desktop_identity.h"
#include "platform/display_loss.h"
#include "platform/picture_size.h"
#include "platform/switch_keys.h"
#include "platform/window_focus.h"
#include "platform/window_presenter.h"
#include "platform/window_shape.h"
#include "platform/x_event_reader.h"

namespace {

bool on_x11 = false;
Display* watch = nullptr;  // the main thread's own connection
Window wm = 0;             // the window the manager handles (Allegro's wm_window)
Cursor arrow = 0;
bool pointer_hidden = true;  // Allegro starts with its invisible cursor on the window
bool launch_notice_due = true;
int multi_click_ms = 0;

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
    multi_click_ms = read_multi_click_ms(watch);
    watch_the_desktop(watch, wm, _xwin.window);
    bool reduced = false;
    const display_plan plan = begin_window_shape(watch, wm, wish, &reduced);
    choose_picture_output(watch, largest_monitor());
    if (reduced)
        std::fprintf(stderr, "blockdash: a window of %d times 640x480 does not fit; using %dx%d\n",
                     wish.scale, plan.window.w, plan.window.h);

    const bool image = pictures_through_image();
    const screen_rect largest = largest_screen();
    if (set_gfx_mode(GFX_XWINDOWS, plan.window.w, plan.window.h, image ? 0 : largest.w, image ? 0 : largest.h) != 0) {
        std::fprintf(stderr, "blockdash: cannot open a %dx%d window (%s); trying 640x480\n",
                     plan.window.w, plan.window.h, allegro_error);
        abandon_window_shape();
        XCloseDisplay(watch);
        watch = nullptr;
        return false;
    }
    arrow = XCreateFontCursor(watch, XC_left_ptr);
    if (!make_picture_surface(why, why_size)) return false;
    if (image) {
        _xwin_window_redrawer = leave_redraws_to_the_presenter;
        set_mouse_range(0, 0, 32767, 32767);  // the window may grow to any size
    } else {
        set_mouse_range(0, 0, largest.w - 1, largest.h - 1);
    }
    finish_window_shape(plan);
    return true;
}

}  // namespace

bool open_display(const display_wish& wish, char* why, int why_size) {
    on_x11 = system_driver && system_driver->id == SYSTEM_XWINDOWS && _xwin.display;
    if (on_x11) {
        name_the_window();
        if (open_x11_window(wish, why, why_size)) {
            read_x_events_only_when_pending(is_ping, answer_ping);
            watch_switch_keys();
            set_display_switch_callback(SWITCH_OUT, on_focus_lost);
            return true;
        }
        on_x11 = false;
        present_plain_picture();
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
    tell_display_choices_to(listener);
}

int desktop_double_click_ms() { return multi_click_ms; }

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
    XChangeProperty(watch, wm, XInternAtom(watch, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(icon.data()), static_cast<int>(icon.size()));
    XFlush(watch);
}

bool follow_display_requests() {
    if (!on_x11) return false;
    const desktop_news news = read_desktop_news(watch, wm);
    bool whole_picture = false;
    if (switch_asked()) {
        switch_fullscreen();
        whole_picture = true;
    }
    if (news.state) follow_manager_state();
    if (news.frame) follow_frame();
    if (news.screens) follow_screens();
    if (news.resized) whole_picture |= follow_window_size(news.w, news.h);
    if (news.frame || news.resized || news.state) refit_while_settling();
    if (news.exposed) {
        repaint_whole_window();
        whole_picture = true;
    }
    follow_pointer();
    if (launch_notice_due && picture_shown()) {
        end_launch_notice(watch, wm);
        launch_notice_due = false;
    }
    return whole_picture;
}

namespace {

int on_display_lost(Display*) {
    note_display_lost();
    for (;;) pause();  // Xlib exits when the handler returns
}

void watch_for_display_loss() { XSetIOErrorHandler(on_display_lost); }

// The rules reach the desktop through the desktop hooks, which it takes over as it loads.
struct desktop_hooked {
    desktop_hooked() {
        desktop.follow_display_requests = follow_display_requests;
        desktop.double_click_ms = desktop_double_click_ms;
        desktop.watch_for_display_loss = watch_for_display_loss;
    }
} hooked;

}  // namespace
