// One replay at a time, held here between the page's calls. Nothing is drawn unless the
// program put a shell around the rules that draws.
#include "play/round_module.h"

#include <memory>
#include <vector>

#include "platform/host.h"
#include "play/headless_replay.h"
#include "play/round_replay.h"
#include "play/round_state.h"
#include "play/round_tape.h"

namespace {

std::vector<uint8_t> given;
std::unique_ptr<replay> loaded;  // a replay is a quarter of a megabyte: never on the stack
bool started = false;  // the last bytes loaded were a replay
bool playing = false;
int32_t frames_played = 0;
bool input_damaged = false;

}  // namespace

uint8_t* round_bytes(int32_t size) {
    if (size <= 0 || static_cast<size_t>(size) > replay_file_room) return nullptr;
    given.assign(static_cast<size_t>(size), 0);
    return given.data();
}

int32_t round_load() {
    if (playing) stop_replay();
    playing = started = false;
    if (!loaded) loaded = std::make_unique<replay>();
    const replay_status status = read_replay_bytes(given.data(), given.size(), *loaded);
    if (status != replay_status::read) return static_cast<int32_t>(status);
    started = true;
    prepare_headless_replay();
    start_replay(*loaded);
    playing = true;
    frames_played = 0;
    input_damaged = false;
    return 0;
}

int32_t round_step() {
    if (!playing) return 0;
    const bool more = play_replay_frame();
    ++frames_played;
    if (more) return 1;
    // Over: the round's records stay for the figures, the rest is put back.
    input_damaged = tape_damaged();
    stop_replay();
    playing = false;
    return 0;
}

int32_t round_figure(int32_t which) {
    if (!started) return 0;
    const claimed_figures now = finished_round_claim();
    const bool finished = !playing && round_over && frames_played == loaded->frames && !input_damaged;
    switch (which) {
        case figure_score: return now.score;
        case figure_blocks_cut: return now.blocks_cut;
        case figure_best_combo: return now.best_combo;
        case figure_frames: return frames_played;
        case figure_finished: return finished ? 1 : 0;
        case figure_claim_kept:
            return finished && now.score == loaded->score && now.blocks_cut == loaded->blocks_cut &&
                   now.best_combo == loaded->best_combo;
        case figure_clock_ms: return static_cast<int32_t>(now_us() / 1000);
        case figure_replay_frames: return loaded->frames;
        default: return 0;
    }
}
