// The left-button latch: one writer (the mouse callback), one reader (the main thread).
#include "platform/mouse_presses.h"

#include <allegro.h>

#include <mutex>

#include "platform/window_presenter.h"
#include "platform/host.h"

namespace {

std::mutex latch_mutex;
// In window pixels: the picture's place in the window is read on the main thread.
left_press latest = {0, 0, 0, 0};

}  // namespace

void note_mouse_change(int flags) {
    if (flags & MOUSE_FLAG_LEFT_DOWN) note_left_press(mouse_x, mouse_y);
}

void note_left_press(int window_x, int window_y) {
    const int at = now_ms();
    std::lock_guard<std::mutex> hold(latch_mutex);
    latest = {latest.serial + 1, at, window_x, window_y};
}

left_press last_left_press() {
    left_press press;
    {
        std::lock_guard<std::mutex> hold(latch_mutex);
        press = latest;
    }
    const picture_point on_picture = map_pointer(current_picture_layout(), press.x, press.y);
    press.x = on_picture.x;
    press.y = on_picture.y;
    return press;
}
