// Placeholder round until the real one lands: shows a button back to the title.
#include "play/round.h"

#include "shell/clicky.h"
#include "shell/host.h"
#include "shell/screen_loop.h"
#include "shell/surfaces.h"

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

void start_round() {
    quit.edit_button(320, 300, 96, 32, state_title);
    progress.edit_button(320, 250, 96, 32, state_play);
    startmusic();
}

void play_frame() {
    rectfill(frame, 0, 0, screen_w, screen_h, makecol(40, 40, 40));
    draw_button(frame, quit, "Return to", "Title");
    wipe_in_if_pending(frame);
    draw_aimer(frame);
    hand_over(frame);
    quit.is_clicked();
    wait_ms(20);
}
