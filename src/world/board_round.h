// The board round under way: its ticket spent at the start, the seed awaited, a notice at
// every tick and pause, the pace watched, and the finished round handed to the sender.
// Also the lines that tell the player what became of it.
// Thread: the main thread, from the round's listener and between frames; the notices go
// out on the notice lane's thread. Nothing here reads or writes a file.
#pragma once

#include <cstdint>
#include <string>

#include "records/replay_file.h"
#include "world/board_settings.h"

void start_board_rounds(const board_settings& settings);
void stop_board_rounds();
// Between frames: the notices' and tickets' answers, and the sender's news.
void take_round_answers();

// ---- The round (called by the round's listener) ----

// Round start: with a ticket in hand, the start notice goes at once and its seed is
// awaited for up to a second. True with the seed for a board round; false for a local one.
bool begin_board_round(uint32_t* seed);
bool board_round_running();
// After each frame (`frames` played so far): a tick every so many frames, and the pace.
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
// At the frame that mixes in tick `tick`'s value: true with it when the board's answer has come.
bool board_value_revealed(int tick, uint32_t* value);
// Answers to this round's ticks taken so far, whatever they said.
int board_tick_answers();
// During the round: a few words when it can no longer count; null while it can.
const char* board_round_quiet_line();

// After the local table and statistics are saved: the finished board round goes to the
// sender under `name`. Does nothing for a local round.
void send_board_round(const replay& finished, const char name[3]);

// ---- What the player is told ----

// One line about the last round and the board, for the end and table screens; empty for none.
std::string board_round_line();
// The world rank the board gave the round (0 before it took it); its id there.
int board_round_rank();
std::string board_round_id();
// Why the board refused the newest round it refused; empty for none.
std::string board_refusal_line();
