// Thread: the main thread.
#include "world/pace_watch.h"

#include "play/board_terms.h"
#include "play/pacing.h"

void pace_watch::start(int now_ms, int stage) {
    *this = {};
    from_ms = now_ms;
    from_stage = stage;
}

void pace_watch::pause(int now_ms, int frames, int stages_passed) {
    if (pause_began_ms >= 0) return;
    mark(now_ms, frames, stages_passed);
    pause_began_ms = now_ms;
}

void pace_watch::resume(int now_ms, int frames, int stages_passed) {
    if (pause_began_ms < 0) return;
    paused_ms += now_ms - pause_began_ms;
    pause_began_ms = -1;
    // The stretch from the pause to its resume is the pause itself: a new one starts here.
    mark_took_ms = took_ms(now_ms);
    mark_own_ms = own_ms(frames, stages_passed);
}

void pace_watch::mark(int now_ms, int frames, int stages_passed) {
    const int took = took_ms(now_ms), own = own_ms(frames, stages_passed);
    const int own_stretch = own - mark_own_ms;
    if (took - mark_took_ms > own_stretch + pace_allowance_ms(own_stretch, stretch_grace_ms)) stretch_too_slow = true;
    mark_took_ms = took;
    mark_own_ms = own;
}

int pace_watch::took_ms(int now_ms) const { return now_ms - from_ms - paused_ms; }

int pace_watch::own_ms(int frames, int stages_passed) {
    return (frames - 1) * frame_ms + stages_passed * stage_banner_ms;
}

bool pace_watch::too_slow(int frames, int stages_passed, int now_ms) const {
    const int own = own_ms(frames, stages_passed);
    return stretch_too_slow || took_ms(now_ms) > own + pace_allowance_ms(own, round_grace_ms);
}
