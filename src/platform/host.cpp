// The real outside world. Only this file knows which clock and which audio calls we use.
#include "platform/host.h"

#include <allegro.h>
#include <algorithm>
#include <ctime>

#include "platform/assets.h"
#include "platform/desktop_display.h"
#include "platform/display_loss.h"
#include "platform/surfaces.h"

namespace {

long long monotonic_ms_since_boot() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// clock() counts processor time on Linux, so frame pacing needs the monotonic wall clock.
// Counted from the first call, so the int never wraps on a machine with a long uptime.
int monotonic_ms() {
    static const long long origin = monotonic_ms_since_boot();
    return static_cast<int>(monotonic_ms_since_boot() - origin);
}

// Between frames is when the main thread does the display's own work: a switch asked
// for with F11, the pointer's shape, a lost display. A long wait (a banner's two seconds)
// looks again every frame's length, so a switch is never held up by it; a frame's own
// wait stays one sleep.
constexpr int display_look_ms = 20;

void tend_the_display() {
    finish_if_display_lost();
    if (follow_display_requests()) show_whole_picture_again();
}

void wait_and_tend_the_display(int ms) {
    const int end = monotonic_ms() + ms;
    int left = ms;
    do {
        tend_the_display();
        if (left > 0) rest(static_cast<unsigned>(std::min(left, display_look_ms)));
        left = end - monotonic_ms();
    } while (left > 0);
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

constexpr host_seam real_host = {monotonic_ms, wait_and_tend_the_display, silent_effect, play_music,
                                 stop_music};

}  // namespace

host_seam host = real_host;

void use_real_host() { host = real_host; }

void playsound(int slot) { host.sound_requested(slot); }
void startmusic() { host.music_start(); }
void stopmusic() { host.music_stop(); }

int pointer_x() { return map_pointer(current_picture_layout(), mouse_x, mouse_y).x; }
int pointer_y() { return map_pointer(current_picture_layout(), mouse_x, mouse_y).y; }
