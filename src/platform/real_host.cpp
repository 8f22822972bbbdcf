// The real outside world. Only this file knows which clock and which audio calls we use.
#include "platform/real_host.h"

#include <allegro.h>
#include <algorithm>

#include "platform/assets.h"
#include "platform/desktop_hooks.h"
#include "platform/display_loss.h"
#include "platform/monotonic_clock.h"
#include "platform/surfaces.h"

namespace {

// Counted from the first reading, so the game's millisecond int never wraps on a machine
// with a long uptime.
const long long origin_ns = monotonic_ns();

long long monotonic_us() { return (monotonic_ns() - origin_ns) / 1000; }

// Between frames is when the main thread does the display's own work: a switch asked
// for with F11, the pointer's shape, a lost display. A long wait (a banner's two seconds)
// looks again every frame's length, so a switch is never held up by it; a frame's own
// wait stays one sleep, which ends on its deadline.
constexpr long long display_look_us = 20000;

void tend_the_display() {
    finish_if_display_lost();
    if (desktop.follow_display_requests()) show_whole_picture_again();
}

void wait_and_tend_the_display(long long when) {
    for (;;) {
        tend_the_display();
        const long long now = monotonic_us();
        if (now >= when) return;
        const long long wake = std::min(when, now + display_look_us);
        sleep_until_ns(origin_ns + 1000 * wake);
        if (wake == when) return;
    }
}

// Effects are requested by the rules but deliberately play nothing.
void silent_effect(int) {}

// The patch set is read by play_midi only. Allegro leaks an open packfile on every such
// read, so the piece is started once and later rounds rewind and resume it.
bool music_started = false;

void play_music() {
    if (!music) return;
    if (!music_started) {
        music_started = play_midi(music, 1) == 0;
        return;
    }
    midi_seek(0);
    midi_resume();
}

void stop_music() { midi_pause(); }

constexpr host_seam real_host = {monotonic_us, wait_and_tend_the_display, silent_effect, play_music,
                                 stop_music};

}  // namespace

void use_real_host() {
    host = real_host;
    wake_this_thread_on_time();
}

int pointer_x() { return map_pointer(desktop.picture_layout_now(), mouse_x, mouse_y).x; }
int pointer_y() { return map_pointer(desktop.picture_layout_now(), mouse_x, mouse_y).y; }
