// Surfaces, the presenter and the lock that keeps its copy from tearing.
#include "platform/surfaces.h"

#include <allegro/internal/aintern.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/display_loss.h"
#include "platform/desktop_hooks.h"

BITMAP* buffer = nullptr;
BITMAP* frame = nullptr;
BITMAP* fake_screen = nullptr;

namespace {

// The main thread never waits for good on it: the presenter may have stopped on a lost
// display while holding it.
std::timed_mutex presented_mutex;

class presented_lock {
public:
    presented_lock() { lock_unless_display_lost(presented_mutex); }
    ~presented_lock() { presented_mutex.unlock(); }
    presented_lock(const presented_lock&) = delete;
    presented_lock& operator=(const presented_lock&) = delete;
};

// Parts of fake_screen written since the presenter last showed them. The first tick shows
// the whole picture.
area_list unshown{whole_picture};

unsigned writes = 0;  // main thread only

void mark_unshown(const picture_area& a) {
    ++writes;
    unshown.add(a);
}

bool same_row(BITMAP* a, BITMAP* b, int y, int left = 0, int right = screen_w) {
    return std::memcmp(reinterpret_cast<uint32_t*>(a->line[y]) + left, reinterpret_cast<uint32_t*>(b->line[y]) + left,
                       (right - left) * sizeof(uint32_t)) == 0;
}

}  // namespace

void fill_area(BITMAP* dest, int x0, int y0, int x1, int y1, int color) {
    if (!is_memory_bitmap(dest) || bitmap_color_depth(dest) != 32 || _drawing_mode != DRAW_MODE_SOLID)
        return rectfill(dest, x0, y0, x1, y1, color);
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    if (dest->clip) {
        x0 = std::max(x0, dest->cl);
        y0 = std::max(y0, dest->ct);
        x1 = std::min(x1, dest->cr - 1);
        y1 = std::min(y1, dest->cb - 1);
    }
    if (x1 < x0 || y1 < y0) return;
    // The first row pixel by pixel, the others copied from it: memcpy moves more at a time.
    const int n = x1 - x0 + 1;
    const uint32_t* first = reinterpret_cast<uint32_t*>(dest->line[y0]) + x0;
    std::fill_n(reinterpret_cast<uint32_t*>(dest->line[y0]) + x0, n, static_cast<uint32_t>(color));
    for (int y = y0 + 1; y <= y1; ++y)
        std::memcpy(reinterpret_cast<uint32_t*>(dest->line[y]) + x0, first, n * sizeof(uint32_t));
}

presented_write::presented_write() { lock_unless_display_lost(presented_mutex); }
presented_write::~presented_write() {
    mark_unshown(whole_picture);
    presented_mutex.unlock();
}

void draw_screen() {
    std::lock_guard<std::timed_mutex> guard(presented_mutex);
    if (unshown.empty()) return;  // the display already shows this picture
    desktop.show_picture_parts(fake_screen, unshown.parts());
    unshown.clear();
}

// Only the rows of the part that differ are copied and marked, so a still screen costs the
// presenter nothing and a moving cursor only its own rows.
void hand_over(BITMAP* src) { hand_over_rows(src, 0, screen_h); }

void hand_over_rows(BITMAP* src, int top, int bottom) { hand_over_area(src, {0, top, screen_w, bottom}); }

void hand_over_area(BITMAP* src, const picture_area& part) {
    presented_lock guard;
    const picture_area a = on_picture(part);
    if (a.empty()) return;
    const int left = a.left, right = a.right, bottom = a.bottom;
    int first = a.top;
    while (first < bottom && same_row(src, fake_screen, first, left, right)) ++first;
    if (first >= bottom) return;
    int last = bottom - 1;
    while (same_row(src, fake_screen, last, left, right)) --last;
    blit(src, fake_screen, left, first, left, first, right - left, last - first + 1);
    mark_unshown({left, first, right, last + 1});
}

void present_masked(BITMAP* sheet, int sx, int sy, int dx, int dy, int w, int h) {
    presented_lock guard;
    masked_blit(sheet, fake_screen, sx, sy, dx, dy, w, h);
    mark_unshown({dx, dy, dx + w, dy + h});
}

void show_whole_picture_again() {
    presented_lock guard;
    mark_unshown(whole_picture);
}

unsigned presented_writes() { return writes; }

