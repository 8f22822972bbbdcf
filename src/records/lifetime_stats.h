// Lifetime figures, added up across every run in "KZ DATA//stats.dat".
#pragma once

#include <cstdint>

extern int32_t t_blocks_cut;
extern int32_t t_games;
extern int32_t m_combo;
extern int32_t m_score;        // internal units
extern int32_t t_play_time[3];  // seconds, minutes, hours

extern const char* const stats_path;

// Folds whole minutes out of the seconds, then whole hours out of the minutes.
void update_long_timer(int32_t* hours, int32_t* minutes, int32_t* seconds);

// Adds a round whose clock ran out: its blocks, play time, one game and its score.
void add_finished_round();

void load_stats(const char* path);
void save_stats(const char* path);
