// The key-press queue: one writer (the keyboard callback), one reader (the main thread).
#include "platform/key_presses.h"

#include <allegro.h>

#include <atomic>

namespace {

constexpr int press_room = 64;
int press_queue[press_room];
std::atomic<int> presses_written{0};
std::atomic<int> presses_read{0};
// The callback's own view, so a repeat is not a new press. Sized by the scancode's seven
// bits, one more than KEY_MAX: a stray 0x7f must not write past it.
constexpr int scancode_mask = 0x7f;
bool down_now[scancode_mask + 1];

}  // namespace

void note_key_press(int scancode) {
    const int k = scancode & scancode_mask;
    const bool released = scancode & 0x80;
    const bool repeat = !released && down_now[k];
    down_now[k] = !released;
    if (released || repeat) return;
    const int written = presses_written.load(std::memory_order_relaxed);
    if (written - presses_read.load(std::memory_order_acquire) == press_room) return;  // full
    press_queue[written % press_room] = k;
    presses_written.store(written + 1, std::memory_order_release);
}

bool take_key_press(int* scancode) {
    const int read = presses_read.load();
    if (read == presses_written.load(std::memory_order_acquire)) return false;
    *scancode = press_queue[read % press_room];
    presses_read.store(read + 1, std::memory_order_release);
    return true;
}

void forget_key_presses() {
    int scancode;
    while (take_key_press(&scancode)) {
    }
}
