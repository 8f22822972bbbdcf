// Runs on Allegro's timer thread (the presenter), except for the calls the header marks
// as the main thread's, which touch the presenter's state only under its lock. The picture
// is scaled into an image as large as the window and only the rows that changed are sent
// to X.
#include "platform/window_presenter.h"

#include <allegro.h>
#include <xalleg.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/desktop_hooks.h"
#include "platform/display_loss.h"
#include "platform/picture_scaler.h"
#include "platform/picture_size.h"
#include "platform/window_image.h"

namespace {

uint64_t pack(const picture_layout& at) {
    return (uint64_t(uint16_t(at.left)) << 48) | (uint64_t(uint16_t(at.top)) << 32) |
           (uint64_t(uint16_t(at.w)) << 16) | uint16_t(at.h);
}

// The layout, packed so the input side reads it in one piece while the main thread changes it.
std::atomic<uint64_t> packed_layout{pack(picture_layout{})};

// Set at start-up, read-only afterwards.
bool use_image = false;  // false where the visual wants another pixel layout
bool on_x11 = false;
screen_rect largest{0, 0, screen_w, screen_h};
// Where the picture goes through Allegro's screen, it is scaled into this first.
BITMAP* scaled = nullptr;

// ---- guarded by screen_mutex ----

// The main thread never waits on it for good: the presenter may have stopped on a lost
// display while holding it.
std::timed_mutex screen_mutex;
window_image* image = nullptr;  // the window's picture on X
picture_layout shown_layout;
bool whole_window_due = true;  // the borders too, after a new layout or an exposure
// A layout the main thread asked for; the presenter, which holds the X lock anyway, makes
// its image.
bool layout_pending = false;
int pending_w = 0, pending_h = 0;
picture_layout pending_layout;

std::atomic<bool> first_picture_shown{false};

std::vector<picture_area> written_parts;  // kept to spare the tick an allocation

// Under the screen's lock and the X lock: an image of the new size in place of the old
// one (which stays where memory runs out), or Allegro's screen cleared.
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

void show_through_image(BITMAP* picture, const std::vector<picture_area>& parts) {
    if (!image) return;
    const picture_layout at = shown_layout;
    written_parts.clear();
    for (const picture_area& part : parts)
        written_parts.push_back(scale_picture_part(picture, image_pixels(image), at, part));
    const pixel_rows all = image_pixels(image);
    XLOCK();
    if (whole_window_due) {
        put_image_rows(_xwin.display, _xwin.window, _xwin.gc, image, 0, 0, all.w, all.h);
    } else {
        for (const picture_area& r : written_parts)
            put_image_rows(_xwin.display, _xwin.window, _xwin.gc, image, r.left, r.top, r.right - r.left, r.bottom);
    }
    XFlush(_xwin.display);  // the input thread no longer flushes on a timer
    XUNLOCK();
    whole_window_due = false;
    first_picture_shown = true;
}

void show_through_allegro(BITMAP* picture, const std::vector<picture_area>& parts) {
    const picture_layout at = shown_layout;
    for (const picture_area& part : parts) {
        if (at.w == screen_w && at.h == screen_h) {
            blit(picture, screen, part.left, part.top, at.left + part.left, at.top + part.top,
                 part.right - part.left, part.bottom - part.top);
        } else {
            const picture_area r = scale_picture_part(picture, rows_of(scaled), {0, 0, at.w, at.h}, part);
            blit(scaled, screen, r.left, r.top, at.left + r.left, at.top + r.top, r.right - r.left, r.bottom - r.top);
        }
    }
    if (!on_x11) return;
    XLOCK();
    XFlush(_xwin.display);
    XUNLOCK();
    first_picture_shown = true;
}

}  // namespace

void choose_picture_output(Display* d, const screen_rect& largest_monitor) {
    on_x11 = true;
    use_image = window_images_work(d);
    largest = largest_monitor;
}

bool pictures_through_image() { return use_image; }
screen_rect largest_screen() { return largest; }

bool make_picture_surface(char* why, int why_size) {
    if (use_image) return true;
    scaled = create_bitmap(largest.w, largest.h);
    if (!scaled) std::snprintf(why, why_size, "Out of memory creating a %dx%d picture.", largest.w, largest.h);
    return scaled != nullptr;
}

screen_rect presentable(screen_rect area) {
    if (use_image || !scaled) return area;
    area.w = std::min(area.w, largest.w);
    area.h = std::min(area.h, largest.h);
    return area;
}

void present_layout(int w, int h, const picture_layout& at) {
    lock_unless_display_lost(screen_mutex);
    layout_pending = true;
    pending_w = w;
    pending_h = h;
    pending_layout = at;
    packed_layout = pack(at);
    screen_mutex.unlock();
}

void repaint_whole_window() {
    lock_unless_display_lost(screen_mutex);
    whole_window_due = true;
    screen_mutex.unlock();
}

bool picture_shown() { return first_picture_shown; }

void present_plain_picture() {
    on_x11 = false;
    use_image = false;
    packed_layout = pack(picture_layout{});
}

void show_picture_parts(BITMAP* picture, const std::vector<picture_area>& parts) {
    std::lock_guard<std::timed_mutex> guard(screen_mutex);
    if (layout_pending) {
        XLOCK();
        take_pending_layout();
        XUNLOCK();
    }
    if (use_image) show_through_image(picture, parts);
    else show_through_allegro(picture, parts);
}

picture_layout current_picture_layout() {
    const uint64_t p = packed_layout;
    return {int(int16_t(p >> 48)), int(int16_t(p >> 32)), int(uint16_t(p >> 16)), int(uint16_t(p))};
}

namespace {

// The surfaces and the pointer reach the presenter through the desktop hooks, which it
// takes over as it loads.
struct presenter_hooked {
    presenter_hooked() {
        desktop.picture_layout_now = current_picture_layout;
        desktop.show_picture_parts = show_picture_parts;
    }
} hooked;

}  // namespace
