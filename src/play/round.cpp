// The round's start, and the order of the steps of one frame.
#include "play/round.h"

#include <ctime>

#include "platform/host.h"
#include "play/dash.h"
#include "play/pacing.h"
#include "play/round_events.h"
#include "play/round_random.h"
#include "play/round_shell.h"
#include "play/round_tape.h"
#include "play/scoring.h"
#include "play/spawning.h"

namespace {
int frames_played = 0;
}  // namespace

// A board round plays the board's seed from the state the first round after start-up
// has, so the board can replay it: nothing is carried over from an earlier round.
void start_round() {
    uint32_t board_seed = 0;
    if (round_seed_drawn_elsewhere(&board_seed)) {
        reset_round_state();
        start_round_seeded(board_seed);
        return;
    }
    start_round_seeded(static_cast<unsigned>(std::time(nullptr)) + static_cast<unsigned>(now_ms()));
}

// Popups, till_next and the player's facing (and pose) carry over from the last round;
// everything else starts as the program did, so a replay, which starts from the carried
// values alone, starts the very same round.
void start_round_seeded(unsigned seed) {
    int32_t carried[carried_values];
    capture_carried(carried);
    reset_round_state();
    restore_carried(carried);
    player.x = 320;
    player.y = 200;
    time_left = 150;
    dash_delay = 50;  // above 14, so the player drops to the floor at once
    special_balance = 2;
    special_countdown = 20;
    shell.starting();
    // The click that started the round may still be held; it must not dash.
    mouseisdown = true;
    frames_played = 0;
    seed_round_random(seed);
    if (!replaying) start_recording(seed);
    startmusic();
}

namespace {

// Frame steps 5 to 18, the same for a round played and a round replayed.
void move_and_show() {
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
    shell.draw_round();
    advance_stage();
    tick_play_clock();
    wait_for_frame_end();
}

}  // namespace

// One frame of the round; the order of the steps is the game's rules.
void play_frame() {
    start_frame();
    shell.read_input();
    start_dash();
    shell.pause_menu();
    release_mouse_latch();
    record_round_input();
    move_and_show();
    tell_frame_done(++frames_played);
}

void replayed_frame() {
    start_frame();
    feed_round_input();
    start_dash();
    release_mouse_latch();
    move_and_show();
}
