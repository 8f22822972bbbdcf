// Thread: the main thread.
#include "world/pace_watch.h"

#include "play/pacing.h"

namespace {

// Frames may run this much slower than their own clock before the round is not sent.
constexpr double pace_allowance = 1.04;
constexpr int pace_grace_ms = 500;  // a moment's hitch, not a slow machine

}  // namespace

void pace_watch::start(int now_ms, int stage) {
    *this = {};
    from_ms = now_ms;
    from_stage = stage;
}

void pace_watch::pause(int now_ms) {
    if (pause_began_ms < 0) pause_began_ms = now_ms;
}

void pace_watch::resume(int now_ms) {
    if (pause_began_ms < 0) return;
    paused_ms += now_ms - pause_began_ms;
    pause_began_ms = -1;
}

int pace_watch::took_ms(int now_ms) const { return now_ms - from_ms - paused_ms; }

int pace_watch::own_ms(int frames, int stages_passed) {
    return (frames - 1) * frame_ms + stages_passed * stage_banner_ms;
}

bool pace_watch::too_slow(int frames, int stages_passed, int now_ms) const {
    return took_ms(now_ms) > own_ms(frames, stages_passed) * pace_allowance + pace_grace_ms;
}
