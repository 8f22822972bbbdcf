// The game's side of the world table, started and stopped as one: the ticket and the
// notices of the round under way (board_round.h), the sender with its queue on disk
// (round_sender.h) and the world's best (world_table.h). A slow, down or hostile board
// never holds a frame: requests go out on threads of their own, files are written on the
// sender's, and the main thread only hands work over and reads answers between frames.
// Thread: the main thread.
#pragma once

#include <string>

#include "world/board_settings.h"

// Start-up, with the board on: starts the threads, asks for a ticket and picks up the
// rounds an earlier session left queued. With the board off nothing starts.
void start_board(const board_settings& settings);
// Shut-down: what was handed to the sender is written, then the threads stop; what is
// queued stays on disk for next time.
void stop_board();
bool board_on();
// A ticket is in hand for the next round.
bool board_ticket_in_hand();

// Between frames: takes the answers that came and asks for what is due.
void board_between_frames();

// The board's address; empty with the board off.
std::string board_address();

// The initials a board round goes under when it enters no local row.
std::string board_initials();
// A new local row's initials: remembered for the rounds that enter none.
void remember_board_initials(const char name[3]);
