// Bresenham's walk along the longer axis. The shorter axis steps when the error term is at
// or above zero, in every direction alike: a dash's hits depend on the exact points.
#include "play/line_walk.h"

#include <cstdlib>

void walk_line(int x1, int y1, int x2, int y2, void (*visit)(int, int, void*), void* context) {
    const int dx = x2 - x1;
    const int dy = y2 - y1;
    const bool x_major = std::abs(dx) >= std::abs(dy);
    const int major = x_major ? std::abs(dx) : std::abs(dy);
    const int minor = x_major ? std::abs(dy) : std::abs(dx);
    const int step_x = dx >= 0 ? 1 : -1;
    const int step_y = dy >= 0 ? 1 : -1;
    int x = x1, y = y1;
    int error = 2 * minor - major;
    for (int i = 0; i <= major; ++i) {
        visit(x, y, context);
        if (error >= 0) {
            if (x_major) y += step_y;
            else x += step_x;
            error += 2 * (minor - major);
        } else {
            error += 2 * minor;
        }
        if (x_major) x += step_x;
        else y += step_y;
    }
}
