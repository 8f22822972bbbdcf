// The recorder writes into a buffer set aside once, so a frame never allocates or touches
// a file; the reader feeds the same frames back through the same steps.
#include "play/round_tape.h"

#include <cstring>
#include <ctime>
#include <optional>

#include "play/round_state.h"
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

claimed_figures finished_round_claim() {
    const int64_t cut = finished_round_figures().blocks_cut;
    return {shown_score(player.score), cut > INT32_MAX ? INT32_MAX : static_cast<int32_t>(cut), best_combo};
}

void seal_recording() {
    const claimed_figures claim = finished_round_claim();
    recorded_round.score = claim.score;
    recorded_round.blocks_cut = claim.blocks_cut;
    recorded_round.best_combo = claim.best_combo;
    recorded_round.saved_at = static_cast<int64_t>(std::time(nullptr));
    recording_sealed = true;
}

bool recorded_round_complete() { return recording_sealed && recording_fits; }

void load_tape(const replay& r) { reader.emplace(r); }
void unload_tape() { reader.reset(); }

void feed_round_input() {
    if (reader) round_in = reader->next();
}

bool tape_damaged() { return reader && reader->damaged(); }
