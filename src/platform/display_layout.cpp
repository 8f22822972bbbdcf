// Monitor, factor and placement arithmetic for the picture on a desktop.
#include "platform/display_layout.h"

#include <algorithm>
#include <climits>

#include "platform/picture_size.h"

namespace {

screen_rect intersection(const screen_rect& a, const screen_rect& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

// How far the point lies outside the rectangle, squared; 0 inside it.
long long distance_squared(const screen_rect& r, int x, int y) {
    const long long dx = x < r.x ? r.x - x : (x >= r.x + r.w ? x - (r.x + r.w - 1) : 0);
    const long long dy = y < r.y ? r.y - y : (y >= r.y + r.h ? y - (r.y + r.h - 1) : 0);
    return dx * dx + dy * dy;
}

}  // namespace

int largest_factor(int w, int h) { return std::max(1, std::min(w / screen_w, h / screen_h)); }

int monitor_at(const std::vector<screen_rect>& monitors, int x, int y, int fallback) {
    int best = fallback;
    long long best_distance = LLONG_MAX;
    for (int i = 0; i < static_cast<int>(monitors.size()); ++i) {
        const long long d = distance_squared(monitors[i], x, y);
        if (d < best_distance) {
            best = i;
            best_distance = d;
        }
    }
    return best;
}

display_plan plan_fullscreen(const screen_rect& monitor) {
    display_plan plan;
    plan.window = monitor;
    plan.picture.k = largest_factor(monitor.w, monitor.h);
    // A monitor smaller than the picture shows its top-left part.
    plan.picture.left = std::max(0, (monitor.w - screen_w * plan.picture.k) / 2);
    plan.picture.top = std::max(0, (monitor.h - screen_h * plan.picture.k) / 2);
    return plan;
}

display_plan plan_window(const screen_rect& monitor, const screen_rect& work_area, int requested,
                         bool* reduced) {
    screen_rect room = intersection(monitor, work_area);
    if (room.w == 0) room = monitor;  // a work area on another monitor says nothing here
    const int fits = largest_factor(room.w, room.h);
    const int k = requested > 0 ? std::min(requested, fits) : fits;
    if (reduced) *reduced = requested > fits;

    display_plan plan;
    plan.picture.k = k;
    plan.window.w = screen_w * k;
    plan.window.h = screen_h * k;
    plan.window.x = room.x + std::max(0, (room.w - plan.window.w) / 2);
    plan.window.y = room.y + std::max(0, (room.h - plan.window.h) / 2);
    return plan;
}

picture_point map_pointer(const picture_layout& at, int x, int y) {
    // Clamp before dividing, so a point left of or above the picture is not rounded
    // toward zero onto it.
    const int px = std::clamp(x - at.left, 0, screen_w * at.k - 1) / at.k;
    const int py = std::clamp(y - at.top, 0, screen_h * at.k - 1) / at.k;
    return {px, py};
}

bool on_picture(const picture_layout& at, int x, int y) {
    return x >= at.left && y >= at.top && x < at.left + screen_w * at.k &&
           y < at.top + screen_h * at.k;
}
