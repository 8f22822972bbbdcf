// The world's best in place of the local table: a switch of three views (LOCAL, TODAY,
// ALL TIME) beside the table, the board's rows where the local ones stand, and a row's
// replay fetched from the board and played as a local one is.
#pragma once

#include <allegro.h>

#include <string>

// On entering the end screen: a world view shown is asked for afresh.
void enter_world_view();
// The board's rows are shown in place of the local ones.
bool world_rows_shown();
// The switch, its status line and, when shown, the board's rows.
void draw_world_view(BITMAP* dest);
// What the world view shows, as text: a change of it shows the screen afresh.
std::string world_view_text();

// The link of the round the player points at (x, y) among the world rows shown, else of
// the round just sent, if the board took it; empty for none.
std::string round_link_at(int x, int y);

// A press on the switch's words: true when it took the press.
bool take_world_switch_press();
// A click on a world row: its replay is fetched. False when the row has none.
bool watch_world_row(int row);
// Each pass: a fetched replay plays; Esc or the right button stops a fetch under way.
void follow_world_replay();
