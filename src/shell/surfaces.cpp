// Surfaces, the presenter and the lock that keeps its copy from tearing.
#include "shell/surfaces.h"

#include <mutex>

#include "shell/assets.h"
#include "shell/clicky.h"

BITMAP* buffer = nullptr;
BITMAP* frame = nullptr;
BITMAP* fake_screen = nullptr;
bool screen_lock = false;

namespace {
std::mutex presented_mutex;
}

presented_write::presented_write() { presented_mutex.lock(); }
presented_write::~presented_write() { presented_mutex.unlock(); }

void draw_screen() {
    presented_write guard;
    blit(fake_screen, screen, 0, 0, 0, 0, screen_w, screen_h);
}

void hand_over(BITMAP* src) {
    presented_write guard;
    blit(src, fake_screen, 0, 0, 0, 0, screen_w, screen_h);
}

void present_masked(BITMAP* sheet, int sx, int sy, int dx, int dy, int w, int h) {
    presented_write guard;
    masked_blit(sheet, fake_screen, sx, sy, dx, dy, w, h);
}

void wipe_in_if_pending(BITMAP* src) {
    if (!screen_lock) return;
    screen_trans(fake_screen, src, 1);
    screen_lock = false;
}

void draw_aimer(BITMAP* dest) { draw_sprite(dest, aimer, mouse_x - 16, mouse_y - 16); }
