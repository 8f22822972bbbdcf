// The round's listener, if any.
#include "play/round_events.h"

namespace {
const round_listener* listener = nullptr;
}  // namespace

void listen_to_rounds(const round_listener* l) { listener = l; }

bool round_seed_drawn_elsewhere(uint32_t* seed) { return listener && listener->drawn_seed(seed); }
void tell_frame_done(int frames) {
    if (listener) listener->frame_done(frames);
}
void tell_paused(int frames) {
    if (listener) listener->paused(frames);
}
void tell_resumed(int frames) {
    if (listener) listener->resumed(frames);
}
void tell_round_ended(int frames) {
    if (listener) listener->ended(frames);
}
int pauses_left_in_round() { return listener ? listener->pauses_left() : -1; }
bool round_held_to_pace() { return pauses_left_in_round() >= 0; }
const char* round_quiet_line() { return listener && listener->quiet_line ? listener->quiet_line() : nullptr; }
bool round_value_revealed(int tick, uint32_t* value) {
    return listener && listener->revealed_value && listener->revealed_value(tick, value);
}
