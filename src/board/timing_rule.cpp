// The timing rule, about pace: each stretch between two notices took its own clock's time
// within pace_allowance_ms(own, stretch_grace_ms), and at each notice the time since the start
// lies within pace_allowance_ms(own, round_grace_ms) of the round's clock at its frame plus the
// pauses announced before it. A stretch from a pause to its resume is the pause itself.
#include "board/timing_rule.h"

#include <algorithm>

#include "play/pacing.h"

namespace {

constexpr int stages = 5;

// The end is sent at the time-out, before that frame's banner: the clock of the frame before.
int32_t clock_frame(const stamped_notice& n) {
    return n.event == notice_event::end && n.frame > 0 ? n.frame - 1 : n.frame;
}

// The own clock as an interval [low, high]: `took` must fit some value in it.
bool too_fast(int64_t took, int64_t own_low, int64_t grace) { return took < own_low - pace_allowance_ms(own_low, grace); }
bool too_slow(int64_t took, int64_t own_high, int64_t grace) { return took > own_high + pace_allowance_ms(own_high, grace); }

std::string when(const stamped_notice& n, int64_t took, const char* since) {
    return std::string(event_name(n.event)) + " at frame " + std::to_string(n.frame) + " came " + std::to_string(took) +
           " ms after " + since;
}

timing_verdict refusal(const std::string& reason) {
    timing_verdict v;
    v.reason = reason;
    return v;
}

}  // namespace

bool notice_too_fast(int64_t elapsed_ms, int64_t own_ms) { return too_fast(elapsed_ms, own_ms, round_grace_ms); }

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
    own_clock before{0, 0};
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
        const int64_t elapsed = n.at_ms - started, played = elapsed - paused_here;
        if (too_fast(played, c.low_ms, round_grace_ms)) return refusal("too fast: " + when(n, elapsed, "the start"));
        if (too_slow(played, c.high_ms, round_grace_ms)) return refusal("too slow: " + when(n, elapsed, "the start"));
        // The stretch since the notice before: a freeze made up for later shows here.
        if (i > 0 && notices[i - 1].event != notice_event::pause) {
            const int64_t took = n.at_ms - notices[i - 1].at_ms;
            const int64_t low = std::max<int64_t>(0, c.low_ms - before.high_ms), high = c.high_ms - before.low_ms;
            if (too_fast(took, low, stretch_grace_ms))
                return refusal("too fast: " + when(n, took, "the notice before"));
            if (too_slow(took, high, stretch_grace_ms))
                return refusal("too slow: " + when(n, took, "the notice before"));
        }
        before = c;
    }
    timing_verdict v;
    v.fits = true;
    v.paused_ms = paused;
    return v;
}
