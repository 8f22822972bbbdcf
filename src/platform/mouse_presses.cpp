// The left-button latch: one writer (the mouse callback), one reader (the main thread).
#include "platform/mouse_presses.h"

#include <allegro.h>

#include <mutex>

#include "platform/desktop_hooks.h"
#include "platform/host.h"
#include "platform/monotonic_clock.h"

namespace {

std::mutex latch_mutex;
// In window pixels: the picture's place in the window is read on the main thread.
left_press latest = {0, 0, 0, 0};

// The input thread never reads the host's seam, which a replay swaps on the main thread:
// its presses are timed by the machine's clock. Only press times are compared with each
// other, so they need no common origin with the game's clock.
int machine_ms() { return static_cast<int>(monotonic_ms() % 1000000000); }

void latch(int window_x, int window_y, int at) {
    std::lock_guard<std::mutex> hold(latch_mutex);
    latest = {latest.serial + 1, at, window_x, window_y};
}

}  // namespace

void note_mouse_change(int flags) {
    if (flags & MOUSE_FLAG_LEFT_DOWN) latch(mouse_x, mouse_y, machine_ms());
}

void note_left_press(int window_x, int window_y) { latch(window_x, window_y, now_ms()); }

left_press last_left_press() {
    left_press press;
    {
        std::lock_guard<std::mutex> hold(latch_mutex);
        press = latest;
    }
    const picture_point on_picture = map_pointer(desktop.picture_layout_now(), press.x, press.y);
    press.x = on_picture.x;
    press.y = on_picture.y;
    return press;
}
