// The round's records and globals, and their reset.
#include "play/round_state.h"

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
int loop_start = 0;
bool can_dash = true;
bool paused = false;
int special_countdown = 0;
int special_balance = 0;
popup time_popup = {};
int time_bonus = 0;
popup power_popup = {};
int power_factor = 0;

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
}

round_figures finished_round_figures() {
    // play_time holds frames, seconds, minutes; the frames of an unfinished second are dropped.
    return {int64_t{blocks_cut} + cut_block_overflow, play_time[1], play_time[2], player.score};
}
