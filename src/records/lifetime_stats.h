// Lifetime figures, added up across every run in "KZ DATA//stats.dat".
#pragma once

#include <cstddef>
#include <cstdint>

#include "records/scan_text.h"

extern int32_t t_blocks_cut;
extern int32_t t_games;
extern int32_t m_combo;         // raised by the round's combo resolution
extern int32_t m_score;         // internal units
extern int32_t t_play_time[3];  // seconds, minutes, hours

extern const char* const stats_path;

// A file can hold any figure, so sums stop at the 32-bit limits rather than wrap.
int32_t add_clamped(int32_t total, int64_t amount);

// Folds whole minutes out of the seconds, then whole hours out of the minutes. Values of
// 59 or less, negative ones included, are left alone.
void update_long_timer(int32_t* hours, int32_t* minutes, int32_t* seconds);

// What a finished round adds to the totals.
struct round_figures {
    int64_t blocks_cut;  // every block cut, those past the counter's cap included
    int32_t seconds;     // whole seconds and minutes played; a started second is dropped
    int32_t minutes;
    int32_t score;       // internal units
};

// The round's time-out calls this once, as its banner shows: adds the round's
// blocks, play time, one game and its score, and lets the end screen offer the name entry.
// Totals stop at the 32-bit limits instead of wrapping.
void add_finished_round(const round_figures& round);

// Set by add_finished_round, taken by the end screen's next set-up: only a visit that
// follows a finished round may offer the name entry, so one from the title menu never does.
extern bool finished_round_waiting;

// Start-up calls load_stats once, after the highscore file. Figures the file does not hold
// keep their values; a file that is there but cannot be read is told about and never
// saved over this session.
void load_stats(const char* path);

// Called at each round end and at shut-down. Under the data folder's lock it reads the
// figures on disk (another copy may have saved since) and adds what this session added
// since its last save: blocks, games and play time are summed, the maxima raised. With
// one copy of the game the bytes are the figures in memory. False, after telling the
// player, when nothing could be saved; the figures stay for the next try.
bool save_stats(const char* path);

// The five figures as one value, for the merge.
struct lifetime_figures {
    int32_t blocks_cut, games, combo, score;
    int32_t play_time[3];  // seconds, minutes, hours
};
lifetime_figures current_figures();
void use_figures(const lifetime_figures& figures);

// What goes on disk: `disk` as read now, plus what `ours` added to `base`, the figures
// this session last read or wrote.
lifetime_figures merge_figures(const lifetime_figures& disk, const lifetime_figures& base,
                               const lifetime_figures& ours);

// The reader behind load_stats, on bytes already in memory: the two lines' formats applied
// in turn as fscanf applies them, each figure stored as soon as it is read. Says whether
// the text held the seven figures and nothing more.
text_fit read_stats_text(const char* bytes, size_t size);

// The exact bytes save_stats writes; returns their count (at most stats_text_room).
constexpr size_t stats_text_room = 7 * 12 + 1;
size_t write_stats_text(char* out);
