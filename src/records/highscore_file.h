// "KZ DATA//highscore.dat": ten text lines, one entry each.
#pragma once

extern const char* const highscore_path;

// Rows the file does not hold keep their values; a missing file changes nothing.
void load_highscore(const char* path);

// Replaces the file atomically; a failed save leaves the old file as it was.
void save_highscore(const char* path);
