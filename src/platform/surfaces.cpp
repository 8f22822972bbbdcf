// Surfaces, the presenter and the lock that keeps its copy from tearing.
#include "platform/surfaces.h"

#include <allegro/internal/aintern.h>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/window_presenter.h"
#include "platform/display_loss.h"

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

// Rows of fake_screen written since the presenter last showed them. The first tick shows
// the whole picture.
std::bitset<screen_h> unshown = std::bitset<screen_h>().set();

unsigned writes = 0;  // main thread only

void mark_unshown(int top, int bottom) {
    ++writes;
    for (int y = std::max(top, 0); y < std::min(bottom, screen_h); ++y) unshown.set(y);
}

bool same_row(BITMAP* a, BITMAP* b, int y) {
    return std::memcmp(a->line[y], b->line[y], screen_w * sizeof(uint32_t)) == 0;
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
    mark_unshown(0, screen_h);
    presented_mutex.unlock();
}

// Each run of unshown rows is shown; runs a few rows apart as one.
void draw_screen() {
    std::lock_guard<std::timed_mutex> guard(presented_mutex);
    if (unshown.none()) return;  // the display already shows this picture
    constexpr int close = 8;
    for (int y = 0; y < screen_h;) {
        if (!unshown[y]) {
            ++y;
            continue;
        }
        int end = y + 1;
        for (int z = end; z < screen_h && z - end < close; ++z)
            if (unshown[z]) end = z + 1;
        show_picture_rows(fake_screen, y, end);
        y = end;
    }
    unshown.reset();
}

// Only the rows that differ are copied and marked, so a still screen costs the presenter
// nothing and a moving cursor only its own rows.
void hand_over(BITMAP* src) { hand_over_rows(src, 0, screen_h); }

void hand_over_rows(BITMAP* src, int top, int bottom) {
    presented_lock guard;
    int first = std::max(top, 0);
    bottom = std::min(bottom, screen_h);
    while (first < bottom && same_row(src, fake_screen, first)) ++first;
    if (first >= bottom) return;
    int last = bottom - 1;
    while (same_row(src, fake_screen, last)) --last;
    blit(src, fake_screen, 0, first, 0, first, screen_w, last - first + 1);
    mark_unshown(first, last + 1);
}

void present_masked(BITMAP* sheet, int sx, int sy, int dx, int dy, int w, int h) {
    presented_lock guard;
    masked_blit(sheet, fake_screen, sx, sy, dx, dy, w, h);
    mark_unshown(dy, dy + h);
}

void show_whole_picture_again() {
    presented_lock guard;
    mark_unshown(0, screen_h);
}

unsigned presented_writes() { return writes; }

