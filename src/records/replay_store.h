// The replays kept beside the table: "KZ DATA/replay-<checksum>.rpl", one per row that
// has one. A file says whose row it is (name and score), so it finds its row again however
// the table was merged, and a row pushed out of the table leaves its file unmatched.
#pragma once

#include <string>

#include "records/highscore_table.h"
#include "records/replay_file.h"

// The file of each row's replay; empty for a row without one.
extern std::string row_replay[highscore_rows];

// Writes the replay beside the data file at `data_path`, atomically. Called under the
// data folder's lock, before the table that names its row is saved.
bool save_replay_file(const char* data_path, const replay& r);

// Finds each row's replay among the files beside `data_path`: the newest file with the
// row's name and score, each file used once. With `prune` (under the lock, after the table
// on disk was read or saved) the files no row uses are removed.
void match_replays_to_table(const char* data_path, bool prune);

// A temporary a killed save of a replay left: "replay-<checksum>.rpl.XXXXXX".
bool is_replay_temporary(const char* name);
