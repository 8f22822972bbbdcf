// Monitor, picture size and placement arithmetic for the picture on a desktop.
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

// The largest whole k >= 1 with 640k x 480k inside w x h.
int largest_factor(int w, int h) { return std::max(1, std::min(w / screen_w, h / screen_h)); }

// A whole factor that fills 80 % of one side looks as large as any; below that the
// picture is worth the sharp scaler's soft pixel edges.
bool whole_factor_fills(int area_w, int area_h, int k) {
    return 5 * screen_h * k >= 4 * area_h || 5 * screen_w * k >= 4 * area_w;
}

// The largest 4:3 rectangle in the area, its odd side rounded to the nearest pixel.
picture_layout largest_four_by_three(int area_w, int area_h) {
    picture_layout at;
    if (3LL * area_w >= 4LL * area_h) {
        at.h = area_h;
        at.w = std::min(area_w, (4 * area_h + 1) / 3);
    } else {
        at.w = area_w;
        at.h = std::min(area_h, (3 * area_w + 2) / 4);
    }
    at.w = std::max(at.w, 1);
    at.h = std::max(at.h, 1);
    return at;
}

void centre(picture_layout& at, int area_w, int area_h) {
    at.left = std::max(0, (area_w - at.w) / 2);
    at.top = std::max(0, (area_h - at.h) / 2);
}

}  // namespace

picture_layout lay_out_picture(int area_w, int area_h, picture_scaling how) {
    const int k = largest_factor(area_w, area_h);
    const bool fits = screen_w * k <= area_w && screen_h * k <= area_h;
    const bool whole = fits && (how == picture_scaling::pixel ||
                                (how == picture_scaling::automatic && whole_factor_fills(area_w, area_h, k)));
    picture_layout at;
    if (whole) {
        at.w = screen_w * k;
        at.h = screen_h * k;
    } else {
        at = largest_four_by_three(area_w, area_h);
    }
    centre(at, area_w, area_h);
    return at;
}

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
    return plan;
}

display_plan plan_window(const screen_rect& monitor, const screen_rect& work_area,
                         const frame_extents& frame, int requested, picture_scaling how,
                         bool* reduced) {
    const screen_rect room = room_on(monitor, work_area);
    const int inner_w = std::max(1, room.w - frame.left - frame.right);
    const int inner_h = std::max(1, room.h - frame.top - frame.bottom);
    const bool fits = screen_w * requested <= inner_w && screen_h * requested <= inner_h;
    if (reduced) *reduced = requested > 0 && !fits;

    display_plan plan;
    if (requested > 0 && fits) {
        plan.window.w = screen_w * requested;
        plan.window.h = screen_h * requested;
    } else {
        const picture_layout at = lay_out_picture(inner_w, inner_h, how);
        plan.window.w = std::min(at.w, inner_w);
        plan.window.h = std::min(at.h, inner_h);
    }
    plan.window.x = room.x + frame.left + std::max(0, (inner_w - plan.window.w) / 2);
    plan.window.y = room.y + frame.top + std::max(0, (inner_h - plan.window.h) / 2);
    return plan;
}

screen_rect room_on(const screen_rect& monitor, const screen_rect& work_area) {
    const screen_rect room = intersection(monitor, work_area);
    return room.w == 0 ? monitor : room;
}

screen_rect fit_window(screen_rect window, const frame_extents& frame, const screen_rect& room) {
    window.w = std::max(1, std::min(window.w, room.w - frame.left - frame.right));
    window.h = std::max(1, std::min(window.h, room.h - frame.top - frame.bottom));
    // Right and bottom first, so that a room too small keeps the title bar on it.
    window.x = std::min(window.x, room.x + room.w - frame.right - window.w);
    window.y = std::min(window.y, room.y + room.h - frame.bottom - window.h);
    window.x = std::max(window.x, room.x + frame.left);
    window.y = std::max(window.y, room.y + frame.top);
    return window;
}

picture_point map_pointer(const picture_layout& at, int x, int y) {
    // Clamp before scaling, so a point left of or above the picture is not rounded
    // toward zero onto it.
    const long px = std::clamp(x - at.left, 0, at.w - 1);
    const long py = std::clamp(y - at.top, 0, at.h - 1);
    return {static_cast<int>(px * screen_w / at.w), static_cast<int>(py * screen_h / at.h)};
}

bool on_picture(const picture_layout& at, int x, int y) {
    return x >= at.left && y >= at.top && x < at.left + at.w && y < at.top + at.h;
}
