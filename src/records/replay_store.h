// The replays kept beside the table: "KZ DATA/replay-<checksum>.rpl", one per row that
// has one, and "KZ DATA/replays.dat", the index that says which file is whose row. Only a
// file the index named for a row that has left the table is ever removed: a friend's
// replay, one of another rules version or a copy is never touched and never takes a row.
#pragma once

#include <string>

#include "records/highscore_table.h"
#include "records/replay_file.h"

// The file of each row's replay; empty for a row without one.
extern std::string row_replay[highscore_rows];

// The index beside the table: one line a row that has a replay, in the table's order,
// "<row 1-10> <the three name bytes> <score> <file name>\n". The table's own file stays
// as it always was; an older game that edits the table only makes the two disagree.
constexpr const char* replay_index_name = "replays.dat";

// Writes the replay beside the data file at `data_path`, atomically, and says so on the
// notice line when it cannot; `path` gets the file's path. Called under the data folder's
// lock, before the table that names its row is saved.
bool save_replay_file(const char* data_path, const replay& r, std::string* path = nullptr);

// False once a round's replay could not be saved this session.
bool every_replay_saved();

// Finds the file of each row of `highscore` (the table just read from `data_path`): the
// file the index names when the index agrees with the table; otherwise, with no index or
// one that disagrees, the newest readable file with the row's name and score, each once.
// Deletes nothing. Start-up calls it, and each save under the lock after reading the table.
void find_row_replays(const char* data_path);

// add_highscore put an entry into `row`: the rows below move down with their files, and
// the file of the row pushed out of the table is noted to go once the save is through.
void move_row_replays(int row);

// After the table at `data_path` was saved, under the lock: writes the index for the
// table as it now stands (never over an index that cannot be read, a damaged one copied
// aside first). Then, when the index read by find_row_replays agreed with the table,
// removes the files of the rows pushed out since; a file that no longer reads as that
// row's replay is copied aside first instead.
void save_replay_index(const char* data_path);

// A save that failed: the rows pushed out keep their files.
void forget_pushed_out_replays();

// A temporary a killed save of a replay or of the index left.
bool is_replay_temporary(const char* name);
