// "KZ DATA//highscore.dat": ten text lines, one entry each.
#pragma once

#include <cstddef>

#include "records/highscore_table.h"
#include "records/replay_file.h"
#include "records/scan_text.h"

extern const char* const highscore_path;

// Start-up calls this once. Rows the file does not hold keep their values; a missing file
// gives the default table. A file that is there but cannot be read is told about and never
// saved over this session.
void load_highscore(const char* path);

// Writes the table as it stands in memory, atomically; a failed save leaves the old file
// as it was, tells the player and returns false.
bool save_highscore(const char* path);

// The end screen calls this with each new entry. Under the data folder's lock it reads
// the table as it now stands on disk (another copy may have added to it), puts the entry
// in, saves, and leaves that table in `highscore` for the screen. Returns the entry's row,
// 10 when it did not enter. An entry that could not be saved is kept for the next save.
// The round's replay, when there is one, is saved beside the table under the same lock.
int enter_highscore(const char* path, record entry, const replay* of_round = nullptr);

// True when start-up found a highscore file it could not read (it is never saved over).
bool highscore_file_refused();

// Shut-down: saves entries an earlier save could not keep; true when none is left over.
bool save_held_highscores(const char* path);

// The reader behind load_highscore, on bytes already in memory. Each row is read with the
// line's format as fscanf reads it; a row is replaced only when all five fields were read,
// and the first row that cannot be read whole ends the reading, since what follows it is
// out of step. Says whether the text held the ten rows and nothing more.
text_fit read_highscore_text(const char* bytes, size_t size);

// The exact bytes save_highscore writes; returns their count (at most highscore_text_room).
constexpr size_t highscore_text_room = 10 * 32 + 1;
size_t write_highscore_text(char* out);
