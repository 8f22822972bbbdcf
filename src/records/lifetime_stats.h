// Lifetime figures, added up across every run in "KZ DATA//stats.dat".
#pragma once

#include <cstddef>
#include <cstdint>

extern int32_t t_blocks_cut;
extern int32_t t_games;
extern int32_t m_combo;         // raised by the round's combo resolution
extern int32_t m_score;         // internal units
extern int32_t t_play_time[3];  // seconds, minutes, hours

extern const char* const stats_path;

// Folds whole minutes out of the seconds, then whole hours out of the minutes. Values of
// 59 or less, negative ones included, are left alone.
void update_long_timer(int32_t* hours, int32_t* minutes, int32_t* seconds);

// The round's time-out calls this once, after setting game_state to 3: adds the round's
// blocks, play time, one game and its score, and lets the end screen offer the name entry.
// Totals stop at the 32-bit limits instead of wrapping.
void add_finished_round();

// Start-up calls load_stats once, after the highscore file; shut-down calls save_stats.
// Figures the file does not hold keep their values; saving is atomic.
void load_stats(const char* path);
void save_stats(const char* path);

// The reader behind load_stats, on bytes already in memory: the two lines' formats applied
// in turn as fscanf applies them, each figure stored as soon as it is read.
void read_stats_text(const char* bytes, size_t size);

// The exact bytes save_stats writes; returns their count (at most stats_text_room).
constexpr size_t stats_text_room = 7 * 12 + 1;
size_t write_stats_text(char* out);
