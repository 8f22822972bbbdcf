// The timing rule: at each notice the board's time since the start lies within
// [own × 0.98 − 2 s, own × 1.10 + 3 s], where own is the round's clock at the notice's frame
// plus the pauses announced before it.
#include "board/timing_rule.h"

#include "play/pacing.h"

namespace {

constexpr int stages = 5;

// The end is sent at the time-out, before that frame's banner: the clock of the frame before.
int32_t clock_frame(const stamped_notice& n) {
    return n.event == notice_event::end && n.frame > 0 ? n.frame - 1 : n.frame;
}

bool too_fast(int64_t elapsed, int64_t own) { return elapsed * 100 < own * 98 - 200000; }
bool too_slow(int64_t elapsed, int64_t own) { return elapsed * 100 > own * 110 + 300000; }

timing_verdict refusal(const std::string& reason) {
    timing_verdict v;
    v.reason = reason;
    return v;
}

}  // namespace

bool notice_too_fast(int64_t elapsed_ms, int64_t own_ms) { return too_fast(elapsed_ms, own_ms); }

own_clock clock_bounds(int32_t frames) {
    if (frames <= 0) return {0, 0};
    const int64_t banner = stage_banner_ms, frame = frame_ms;
    return {banner + frame * (frames - 1), frame * frames + banner * stages};
}

timing_verdict check_timing(const std::vector<stamped_notice>& notices, int32_t frames, const own_clock_reader& own) {
    if (notices.empty() || notices.front().event != notice_event::start)
        return refusal("missing notices: the round's start");
    if (notices.back().event != notice_event::end) return refusal("missing notices: the round's end");
    if (notices.back().frame != frames) return refusal("the replay's last frame is not the end notice's frame");
    int32_t next_tick = frames_between_ticks;
    int32_t last_frame = 0;
    int pauses = 0;
    bool in_pause = false;
    int64_t paused = 0, pause_began = 0;
    const int64_t started = notices.front().at_ms;
    for (size_t i = 0; i < notices.size(); ++i) {
        const stamped_notice& n = notices[i];
        if (n.seq != static_cast<int64_t>(i)) return refusal("missing notices: seq " + std::to_string(i));
        if (n.frame < last_frame) return refusal("missing notices: the frames of the notices go back");
        if ((n.event == notice_event::start) != (i == 0) || (n.event == notice_event::end) != (i + 1 == notices.size()))
            return refusal("missing notices: start and end are not first and last");
        // The ticks come every frames_between_ticks frames, each before any later notice.
        if (n.frame > next_tick)
            return refusal("missing notices: the tick at frame " + std::to_string(next_tick));
        if (n.event == notice_event::tick) {
            if (n.frame != next_tick) return refusal("missing notices: a tick at frame " + std::to_string(n.frame));
            next_tick += frames_between_ticks;
        }
        if (n.event == notice_event::pause) {
            if (in_pause) return refusal("missing notices: a pause without its resume");
            if (++pauses > pauses_most) return refusal("paused too long: more than three pauses");
            in_pause = true;
            pause_began = n.at_ms;
        }
        if (n.event == notice_event::resume) {
            if (!in_pause) return refusal("missing notices: a resume without its pause");
            in_pause = false;
            paused += n.at_ms - pause_began;
            if (paused > paused_ms_most) return refusal("paused too long: more than 60 s in all");
        }
        if (n.event == notice_event::end && in_pause) return refusal("missing notices: a pause without its resume");
        last_frame = n.frame;
        // A pause still open counts as far as this notice.
        const int64_t paused_here = paused + (in_pause ? n.at_ms - pause_began : 0);
        const own_clock c = own(clock_frame(n));
        const int64_t elapsed = n.at_ms - started;
        if (too_fast(elapsed, c.low_ms + paused_here))
            return refusal("too fast: " + std::string(event_name(n.event)) + " at frame " + std::to_string(n.frame) +
                          " came " + std::to_string(elapsed) + " ms after the start");
        if (too_slow(elapsed, c.high_ms + paused_here))
            return refusal("too slow: " + std::string(event_name(n.event)) + " at frame " + std::to_string(n.frame) +
                          " came " + std::to_string(elapsed) + " ms after the start");
    }
    timing_verdict v;
    v.fits = true;
    v.paused_ms = paused;
    return v;
}
