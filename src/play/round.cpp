// The round's records, its start, and the order of the steps of one frame.
#include "play/round.h"

#include <ctime>

#include "platform/host.h"
#include "play/dash.h"
#include "play/pacing.h"
#include "play/pause_menu.h"
#include "play/render.h"
#include "play/round_input.h"
#include "play/round_replay.h"
#include "play/scoring.h"
#include "play/spawning.h"
#include "ui/buttons.h"
#include "ui/screen_state.h"

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
int best_combo = 0;
bool round_over = false;
bool replaying = false;

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

round_figures finished_round_figures() {
    // play_time holds frames, seconds, minutes; the frames of an unfinished second are dropped.
    return {int64_t{blocks_cut} + cut_block_overflow, play_time[1], play_time[2], player.score};
}

void start_round() {
    start_round_seeded(static_cast<unsigned>(std::time(nullptr)) + static_cast<unsigned>(now_ms()));
}

// Popups, till_next and the player's facing and pose carry over from the last round.
void start_round_seeded(unsigned seed) {
    quit.edit_button(320, 300, 96, 32, state_title);
    progress.edit_button(320, 250, 96, 32, state_play);
    player.score = 0;
    player.x = 320;
    player.y = 200;
    time_left = 150;
    dash_delay = 50;  // above 14, so the player drops to the floor at once
    special_balance = 2;
    special_countdown = 20;
    time_bonus = 0;
    power_factor = 0;
    can_dash = true;
    paused = false;
    take_focus_loss();  // the focus lost on another screen is no reason to pause this round
    // The click that started the round may still be held; it must not dash.
    mouseisdown = true;
    blocks_cut = 0;
    cut_block_overflow = 0;
    for (int& counter : play_time) counter = 0;
    for (block_record& b : block) {
        b.active = false;
        b.cut = false;
    }
    stage = 0;
    // A dash cut short by the last round's time-out must not score in this one.
    player.combo = 0;
    got_time = false;
    got_power = false;
    gravity = 0;
    best_combo = 0;
    round_over = false;
    srand(seed);
    if (!replaying) start_recording(seed);
    startmusic();
}

namespace {

// Frame steps 5 to 18, the same for a round played and a round replayed.
void move_and_show(void (*label)(BITMAP*)) {
    time_dash();
    walk_dash();
    apply_gravity();
    spawn_block();
    cap_blocks_cut();
    move_blocks();
    resolve_combo();
    age_popups();
    keep_player_in_bounds();
    check_time_out();
    draw_round(label);
    advance_stage();
    tick_play_clock();
    wait_for_frame_end();
}

}  // namespace

// One frame of the round; the order of the steps is the game's rules.
void play_frame() {
    loop_start = now_ms();
    read_round_input();
    start_dash();
    run_pause_menu();
    release_mouse_latch();
    record_round_input();
    move_and_show(nullptr);
}

void replayed_frame(void (*label)(BITMAP*)) {
    loop_start = now_ms();
    feed_round_input();
    start_dash();
    release_mouse_latch();
    move_and_show(label);
}
