// The board's clock against the round's own: a round replays the same however slowly it
// was played, so the notices the game sent while playing are held to the frames they name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board/request_input.h"
#include "play/board_terms.h"

// A notice as stored: when it reached the board, on the one clock of the round.
struct stamped_notice {
    int64_t seq;
    int32_t frame;
    notice_event event;
    int64_t at_ms;
};

// The round's own clock after `frames` frames, as an interval: exact once the round has
// been replayed, bounds before.
struct own_clock {
    int64_t low_ms;
    int64_t high_ms;
};
using own_clock_reader = std::function<own_clock(int32_t frames)>;

// Before replaying: 20 ms a frame, and between the first frame's banner and one for each
// of the five stages.
own_clock clock_bounds(int32_t frames);

struct timing_verdict {
    bool fits = false;
    std::string reason;  // why not, for the player
    int64_t paused_ms = 0;
};

// A notice `elapsed_ms` after the start at a frame the round's clock (with the pauses before
// it) puts `own_ms` in: sooner than the round could have got there.
bool notice_too_fast(int64_t elapsed_ms, int64_t own_ms);

// `notices` in the order of their seq; `frames` the replay's frame count.
timing_verdict check_timing(const std::vector<stamped_notice>& notices, int32_t frames, const own_clock_reader& own);
