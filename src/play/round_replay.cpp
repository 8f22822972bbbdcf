// Playing a recorded round back: through the same frame steps as a round played, its
// input fed from the tape.
#include "play/round_replay.h"

#include "play/round.h"
#include "play/round_tape.h"

namespace {

int32_t frames_left = 0;
int32_t frames_played = 0;

}  // namespace

void start_replay(const replay& r) {
    replaying = true;
    restore_carried(r.carried);
    start_round_seeded(r.seed);
    load_tape(r);
    frames_left = r.frames;
    frames_played = 0;
}

bool play_replay_frame() {
    if (frames_left <= 0 || round_over) return false;
    replayed_frame();
    --frames_left;
    ++frames_played;
    return frames_left > 0 && !round_over;
}

void stop_replay() {
    replaying = false;
    unload_tape();
}

replay_outcome verify_replay(const replay& r, void (*after_frame)(int32_t played)) {
    const bool drawing_was_skipped = skip_drawing;
    skip_drawing = true;
    start_replay(r);
    for (bool more = true; more;) {
        more = play_replay_frame();
        if (after_frame) after_frame(frames_played);
    }
    const claimed_figures given = finished_round_claim();
    replay_outcome o;
    o.score = given.score;
    o.blocks_cut = given.blocks_cut;
    o.best_combo = given.best_combo;
    o.frames = frames_played;
    o.finished = round_over && frames_played == r.frames;
    o.input_damaged = tape_damaged();
    stop_replay();
    skip_drawing = drawing_was_skipped;
    return o;
}

bool outcome_matches(const replay& r, const replay_outcome& o) {
    return o.finished && !o.input_damaged && o.score == r.score && o.blocks_cut == r.blocks_cut &&
           o.best_combo == r.best_combo;
}
