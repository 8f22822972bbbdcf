// Everything a round of play knows: its records and globals, in one place.
// The records keep the game's own names; every number is a 32-bit int and time counts
// frames of at least 20 ms.
#pragma once

#include "records/lifetime_stats.h"
#include "records/replay_file.h"

struct player_record {
    int x;
    int y;          // floor at 450
    int facing;     // 1: drawn mirrored
    int combo;      // blocks cut so far by the current dash
    int score;      // internal units; shown times ten
    int start_x;
    int target_x;
    int start_y;
    int target_y;
    int pose;       // the pose drawn, by its column in the player's sheet (play/dash.h)
};

struct block_record {
    int x;
    int y;
    int speed;
    int type;  // 0 plain, 1 time, 2 power
    bool active;
    int split_x;
    int split_y;
    bool cut;
    int cut_dir;  // 0 horizontal, 1 vertical, 2 "\", 3 "/"
};

struct popup {
    int x;
    int y;
    int timer;  // shown while above 0
};

constexpr int block_slots = 20;
constexpr int hit_popups = 10;

extern player_record player;
extern block_record block[block_slots];
extern popup got_combo[hit_popups];
extern popup lost_time;

extern int time_left;
extern int play_time[3];  // frames of the current second, seconds, minutes
extern int dash_delay;
extern int gravity;
extern int dash_num;
extern int till_next;
extern int next_block;
extern int blocks_cut;
extern int cut_block_overflow;
extern int stage;
extern bool mouseisdown;
extern bool got_time;
extern bool got_power;
extern long long loop_start;  // the frame's start on the host clock, in microseconds

// The player's input as the round sees it: read once at the top of each frame, so a
// replay can hand the round the very same frames.
extern round_input round_in;

// Variables of the round loop itself.
extern bool can_dash;
extern bool paused;
extern int special_countdown;
extern int special_balance;
extern popup time_popup;
extern int time_bonus;
extern popup power_popup;
extern int power_factor;

extern int best_combo;    // the longest dash of this round
extern bool round_over;   // the clock ran out: the round is finished
// A recorded round is being played back: the screen, the table and the player's totals
// are not the replay's to change.
extern bool replaying;
// Rounds without pictures, banners included: the soak test and the check of a replay.
extern bool skip_drawing;

// Every record and global of the round back to the state the program starts with (the
// player's pose is kept). Each round's start runs it too, keeping only the carried values.
void reset_round_state();

// What the finished round adds to the lifetime statistics.
round_figures finished_round_figures();

// The values a round takes over from the one before it (a replay keeps them).
void capture_carried(int32_t out[carried_values]);
void restore_carried(const int32_t in[carried_values]);
