// The round's records and globals, and their reset.
#include "play/round_state.h"

#include "play/round_input.h"

player_record player = {};
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

void reset_round_state() {
    BITMAP* sprite = player.sprite;
    player = {};
    player.sprite = sprite;
    for (block_record& b : block) b = {};
    for (popup& p : got_combo) p = {};
    lost_time = time_popup = power_popup = {};
    time_left = 0;
    for (int& counter : play_time) counter = 0;
    dash_delay = gravity = dash_num = till_next = 0;
    next_block = 25;
    blocks_cut = cut_block_overflow = stage = 0;
    mouseisdown = got_time = got_power = false;
    loop_start = 0;
    can_dash = true;
    paused = false;
    special_countdown = special_balance = time_bonus = power_factor = 0;
    best_combo = 0;
    round_over = false;
    round_in = {};
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
