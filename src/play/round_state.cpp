// The round's records and globals, and their reset.
#include "play/round_state.h"

#include <cstring>
#include <type_traits>
#include <vector>


player_record player = {};
round_input round_in;
block_record block[block_slots] = {};
popup got_combo[hit_popups] = {};
popup lost_time = {};
int time_left = 0;
int play_time[3] = {};
int dash_delay = 0;
int gravity = 0;
int dash_num = 0;
int till_next = 0;
int next_block = 25;
int blocks_cut = 0;
int cut_block_overflow = 0;
int stage = 0;
bool mouseisdown = false;
bool got_time = false;
bool got_power = false;
long long loop_start = 0;
bool can_dash = true;
bool paused = false;
int special_countdown = 0;
int special_balance = 0;
popup time_popup = {};
int time_bonus = 0;
popup power_popup = {};
int power_factor = 0;
int best_combo = 0;
bool round_over = false;
bool replaying = false;
bool skip_drawing = false;

namespace {

// The round's state, each piece once. The reset, a round's start and a replay's start all
// go through this list, so a piece added here starts alike in a round played and replayed;
// what a round takes over from the one before is carried_popups and capture_carried below.
struct state_part {
    void* at;
    size_t size;
};
template <typename T>
state_part part(T& value) {
    static_assert(std::is_trivially_copyable<T>::value, "kept and restored as bytes");
    return {&value, sizeof value};
}
const state_part round_parts[] = {
    part(player),     part(block),      part(got_combo),  part(lost_time),         part(time_left),
    part(play_time),  part(dash_delay), part(gravity),    part(dash_num),          part(till_next),
    part(next_block), part(blocks_cut), part(cut_block_overflow), part(stage),     part(mouseisdown),
    part(got_time),   part(got_power),  part(loop_start), part(can_dash),          part(paused),
    part(special_countdown), part(special_balance), part(time_popup), part(time_bonus),
    part(power_popup), part(power_factor), part(best_combo), part(round_over),     part(round_in),
};

// The values the program starts with, taken before anything runs (all are constants).
std::vector<unsigned char> program_start_bytes() {
    std::vector<unsigned char> bytes;
    for (const state_part& p : round_parts) {
        const auto* at = static_cast<const unsigned char*>(p.at);
        bytes.insert(bytes.end(), at, at + p.size);
    }
    return bytes;
}
const std::vector<unsigned char> at_program_start = program_start_bytes();

}  // namespace

void reset_round_state() {
    const int pose = player.pose;
    size_t from = 0;
    for (const state_part& p : round_parts) {
        std::memcpy(p.at, at_program_start.data() + from, p.size);
        from += p.size;
    }
    player.pose = pose;
}

round_figures finished_round_figures() {
    // play_time holds frames, seconds, minutes; the frames of an unfinished second are dropped.
    return {int64_t{blocks_cut} + cut_block_overflow, play_time[1], play_time[2], player.score};
}

namespace {
popup* const carried_popups[] = {&got_combo[0], &got_combo[1], &got_combo[2], &got_combo[3],
                                 &got_combo[4], &got_combo[5], &got_combo[6], &got_combo[7],
                                 &got_combo[8], &got_combo[9], &lost_time, &time_popup, &power_popup};
static_assert(carried_values == 2 + 3 * sizeof carried_popups / sizeof carried_popups[0], "");
}  // namespace

// A popup whose timer has run out shows nothing until it is set afresh, so it is kept as
// zeros: its numbers only drift further with every frame.
void capture_carried(int32_t out[carried_values]) {
    out[0] = till_next;
    out[1] = player.facing;
    int i = 2;
    for (const popup* p : carried_popups) {
        const bool showing = p->timer > 0;
        out[i++] = showing ? p->x : 0;
        out[i++] = showing ? p->y : 0;
        out[i++] = showing ? p->timer : 0;
    }
}

void restore_carried(const int32_t in[carried_values]) {
    till_next = in[0];
    player.facing = in[1] == 1 ? 1 : 0;
    int i = 2;
    for (popup* p : carried_popups) {
        p->x = in[i++];
        p->y = in[i++];
        p->timer = in[i++];
    }
}
