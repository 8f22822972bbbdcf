// Long runs of rounds with random clicks, checking the round's invariants after every
// frame. Rounds that run out of time are started again with the next seed.
#pragma once

namespace play_testing {

struct soak_result {
    long frames = 0;
    long rounds = 0;
    long pauses = 0;
    int best_combo = 0;
    int highest_stage = 0;
    long capped = 0;  // frames whose cap step had something to cut back
    bool failed = false;
};

soak_result soak(unsigned seed, long frames, bool drawing);

}  // namespace play_testing
