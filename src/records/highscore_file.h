// "KZ DATA//highscore.dat": ten text lines, one entry each.
#pragma once

#include <cstddef>

extern const char* const highscore_path;

// Start-up calls this once. Rows the file does not hold keep their values; a missing file
// changes nothing.
void load_highscore(const char* path);

// The end screen calls this right after each new entry. Replaces the file atomically; a
// failed save leaves the old file as it was.
void save_highscore(const char* path);

// The reader behind load_highscore, on bytes already in memory. Each row is read with the
// line's format as fscanf reads it; a row is replaced only when all five fields were read,
// and the first row that cannot be read whole ends the reading, since what follows it is
// out of step.
void read_highscore_text(const char* bytes, size_t size);

// The exact bytes save_highscore writes; returns their count (at most highscore_text_room).
constexpr size_t highscore_text_room = 10 * 32 + 1;
size_t write_highscore_text(char* out);
