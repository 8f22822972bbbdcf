// Mixing the board's values into the round's randomness at their frames.
#include "play/round_reveal.h"

#include "play/board_terms.h"
#include "play/round_events.h"
#include "play/round_random.h"
#include "play/round_state.h"
#include "play/round_tape.h"

namespace {

int32_t mixed = 0;
bool stopped = false;  // a value did not come: the round is a local one from here on

}  // namespace

void start_reveal() {
    mixed = 0;
    stopped = false;
}

void mix_revealed_value(int32_t frame) {
    const int32_t tick = tick_mixed_at(frame);
    if (tick == 0 || stopped) return;
    uint32_t value = 0;
    const bool came = replaying ? taped_value(tick, &value) : round_value_revealed(tick, &value);
    if (!came) {
        stopped = true;
        return;
    }
    mix_round_random(value);
    ++mixed;
    if (!replaying) record_round_value(value);
}

int32_t values_revealed() { return mixed; }
