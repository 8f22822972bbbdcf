// The play clock and the wait that ends each frame.
#include "play/pacing.h"

#include "platform/host.h"
#include "play/round_state.h"

namespace {

// A wake-up later than this after a frame's end is not the sleep's own delay but a busy
// machine: the next frame then starts when it really does.
constexpr long long on_time_us = 1000;

// The end of the last frame that waited for it; none after a longer frame.
bool waited = false;
long long last_frame_end = 0;

}  // namespace

void start_frame() {
    const long long now = now_us();
    const bool on_time = waited && now >= last_frame_end && now - last_frame_end < on_time_us;
    loop_start = on_time ? last_frame_end : now;
    waited = false;
}

void tick_play_clock() {
    play_time[0] += 1;
    if (play_time[0] > 38) {
        time_left -= 1;
        play_time[1] += 1;
        play_time[0] -= 39;
    }
    if (play_time[1] > 59) {
        play_time[2] += 1;
        play_time[1] -= 60;
    }
}

// One sleep to the frame's end, and another should a sleep ever end early; a fake clock
// moves on by the wait, so the loop ends there too.
void wait_for_frame_end() {
    const long long end = loop_start + frame_ms * 1000LL;
    if (now_us() >= end) return;
    do host.wait_until_us(end);
    while (now_us() < end);
    waited = true;
    last_frame_end = end;
}
