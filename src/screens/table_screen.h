// The highscore table as the end screen shows it: ten rows, the row entered this visit in
// yellow, a play mark after each row whose round can be watched, and a click on such a
// row plays it back. The world view draws its rows in the same places.
#pragma once

#include <allegro.h>

constexpr int table_left = 240, table_right = 400;

int table_row_top(int row);
// The row under a point; highscore_rows for none.
int table_row_at(int x, int y);

// Names are raw bytes from a file; passed as 0..255 they print as Latin-1 characters, and
// a NUL ends the name early.
void print_table_name(BITMAP* dest, int x, int y, int colour, const char* name);
void draw_play_mark(BITMAP* dest, int y, int colour);

// The local rows, `new_row` in yellow.
void draw_local_table(BITMAP* dest, int new_row);
// Plays the row's round back; says why when its replay cannot be played.
void watch_local_row(int row);
