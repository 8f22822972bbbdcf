// The recorder writes into a buffer set aside once, so a frame never allocates or touches
// a file; the player feeds the same frames back through the same steps.
#include "play/round_replay.h"

#include <cstring>
#include <ctime>
#include <optional>

#include "play/render.h"
#include "play/round.h"
#include "play/round_input.h"
#include "records/highscore_table.h"

#ifndef BLOCKDASH_VERSION
#define BLOCKDASH_VERSION "0.0.0"
#endif

replay recorded_round;

namespace {

std::optional<replay_input_writer> writer;
bool recording_fits = false;
bool recording_sealed = false;

std::optional<replay_input_reader> reader;
int32_t frames_left = 0;
int32_t frames_played = 0;

}  // namespace

void start_recording(unsigned seed) {
    std::memset(recorded_round.game_version, 0, sizeof recorded_round.game_version);
    std::strncpy(recorded_round.game_version, BLOCKDASH_VERSION, sizeof recorded_round.game_version - 1);
    recorded_round.seed = seed;
    capture_carried(recorded_round.carried);
    std::memset(recorded_round.name, ' ', 3);
    recorded_round.score = recorded_round.blocks_cut = recorded_round.best_combo = recorded_round.frames = 0;
    writer.emplace(recorded_round);
    recording_fits = true;
    recording_sealed = false;
}

void record_round_input() {
    if (recording_fits && writer && !writer->add(round_in)) recording_fits = false;
    if (recording_fits) ++recorded_round.frames;
}

void seal_recording() {
    const round_figures figures = finished_round_figures();
    recorded_round.score = shown_score(player.score);
    recorded_round.blocks_cut = figures.blocks_cut > INT32_MAX ? INT32_MAX : static_cast<int32_t>(figures.blocks_cut);
    recorded_round.best_combo = best_combo;
    recorded_round.saved_at = static_cast<int64_t>(std::time(nullptr));
    recording_sealed = true;
}

bool recorded_round_complete() { return recording_sealed && recording_fits; }

void start_replay(const replay& r) {
    replaying = true;
    reset_round_state();
    restore_carried(r.carried);
    start_round_seeded(r.seed);
    reader.emplace(r);
    frames_left = r.frames;
    frames_played = 0;
}

void feed_round_input() {
    if (reader) round_in = reader->next();
}

bool play_replay_frame(void (*label)(BITMAP*)) {
    if (frames_left <= 0 || round_over) return false;
    replayed_frame(label);
    --frames_left;
    ++frames_played;
    return frames_left > 0 && !round_over;
}

void stop_replay() {
    replaying = false;
    reader.reset();
}

replay_outcome verify_replay(const replay& r) {
    const bool drawing_was_skipped = skip_drawing;
    skip_drawing = true;
    start_replay(r);
    while (play_replay_frame(nullptr)) {
    }
    const round_figures figures = finished_round_figures();
    replay_outcome o;
    o.score = shown_score(player.score);
    o.blocks_cut = figures.blocks_cut > INT32_MAX ? INT32_MAX : static_cast<int32_t>(figures.blocks_cut);
    o.best_combo = best_combo;
    o.frames = frames_played;
    o.finished = round_over && frames_played == r.frames;
    o.input_damaged = reader && reader->damaged();
    stop_replay();
    skip_drawing = drawing_was_skipped;
    return o;
}

bool outcome_matches(const replay& r, const replay_outcome& o) {
    return o.finished && !o.input_damaged && o.score == r.score && o.blocks_cut == r.blocks_cut &&
           o.best_combo == r.best_combo;
}
