// The game's side of the world table: a ticket kept in hand, the notices of a board
// round, the queue of finished rounds and the world's best. Every request goes out on a
// thread of its own; the main thread hands requests over and reads the answers between
// frames, so a slow, down or hostile board never holds a frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/board_settings.h"
#include "records/replay_file.h"

// Start-up, with the board on: starts the threads, asks for a ticket and picks up the
// rounds an earlier session left queued. With the board off nothing starts.
void start_board(const board_settings& settings);
// Shut-down: stops the threads at once; what is queued stays on disk for next time.
void stop_board();
bool board_on();
// A ticket is in hand for the next round.
bool board_ticket_in_hand();

// Between frames, on the main thread: takes the answers that came, sends what is due.
void board_between_frames();

// ---- The round (called by the round's steps) ----

// Round start: with a ticket in hand, the start notice goes at once and its seed is
// awaited for up to a second. True with the seed for a board round; false for a local one.
bool begin_board_round(uint32_t* seed);
bool board_round_running();
// After each frame (`frames` played so far): a tick every 390, and the pace.
void board_frame_done(int frames);
// The pause menu opens and closes.
void board_round_paused(int frames);
void board_round_resumed(int frames);
// Pauses a board round may still take; -1 when no board round runs.
int board_pauses_left();
// The time-out, before its banner: the end notice with the replay's frame count.
void board_round_ended(int frames);
// The round was left through the pause menu: nothing of it is sent.
void board_round_dropped();

// After the local table and statistics are saved: the finished board round goes into the
// queue under `name` and is sent in the background. Does nothing for a local round.
void send_board_round(const replay& finished, const char name[3]);

// One line about the last round and the board, for the end and table screens; empty for
// none. `accepted_rank` gets the world rank once the board took the round (0 before).
std::string board_round_line();
int board_round_rank();
std::string board_round_id();
// Why the board refused the newest round it refused; empty for none.
std::string board_refusal_line();

// ---- The world's best ----

enum class world_period { day, all };

struct world_row {
    int rank = 0;
    std::string name;
    int score = 0;
    std::string replay;  // its address
};

struct world_table {
    bool asked = false;
    bool answered = false;   // rows hold the last answer
    bool unreachable = false;  // the last try failed
    std::string fetched_at;  // "17:42", local time
    std::vector<world_row> rows;
};

// Asks for the period's top ten in the background.
void fetch_world(world_period period);
const world_table& world_best(world_period period);

// Downloads a row's replay into the cache folder; `world_replay_ready` says when it has
// come (its path) or failed (empty path, `why` says why).
void download_world_replay(const std::string& address);
bool world_replay_ready(std::string* path, std::string* why);
bool world_replay_pending();
