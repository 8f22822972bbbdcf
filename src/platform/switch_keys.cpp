// Runs on Allegro's input thread, as its keyboard callbacks; the main thread only takes
// the request.
#include "platform/switch_keys.h"

#include <allegro.h>

#include <atomic>

namespace {

std::atomic<bool> switch_requested{false};

// The game's own key watcher (the name entry's), which sees every key but these.
void (*next_key_watcher)(int scancode) = nullptr;

// F11 and Alt+Enter belong to the display: they must not also type or confirm a name.
void on_key(int scancode) {
    if (scancode == KEY_F11) {
        key[KEY_F11] = 0;
        switch_requested = true;
    } else if (scancode == KEY_ENTER && (key[KEY_ALT] || key[KEY_ALTGR])) {
        key[KEY_ENTER] = 0;
        switch_requested = true;
    } else if (next_key_watcher) {
        next_key_watcher(scancode);
    }
}

int swallow_switch_keys(int k, int* scancode) {
    if (*scancode == KEY_F11 || (*scancode == KEY_ENTER && (key_shifts & KB_ALT_FLAG))) {
        *scancode = 0;
        return 0;
    }
    return k;
}

}  // namespace

void watch_switch_keys() {
    next_key_watcher = keyboard_lowlevel_callback;
    keyboard_lowlevel_callback = on_key;
    keyboard_ucallback = swallow_switch_keys;
}

bool switch_asked() { return switch_requested.exchange(false); }
