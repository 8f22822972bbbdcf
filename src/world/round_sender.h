// The sender: the client's own thread, which keeps the queue of finished board rounds on
// disk and sends them one at a time, the oldest due first, each with its own count of
// tries and its own back-off, so one failing round never holds the others back. Every
// file of the world table that is written while the game runs is written here, so the
// main thread hands work over and never waits on a file or the data folder's lock.
// Thread: the functions below are called by the main thread; the work runs on the sender's.
#pragma once

#include <string>

#include "records/replay_file.h"
#include "world/board_settings.h"

enum class send_outcome {
    waiting,     // not sent yet, or tried and kept for a later try
    not_kept,    // its file could not be written: it cannot be sent
    taken,       // the board took it
    taken_before,  // the board had it already (its answer was lost before)
    refused,     // the board's final word: kept aside, never sent again
    set_aside,   // kept aside without sending (the board missed part of the round)
};

// What became of one round the sender was given (or found queued).
struct sent_round_news {
    std::string ticket;
    send_outcome outcome = send_outcome::waiting;
    int rank = 0;
    std::string id;
    bool stands = true;  // the player's best on the board; else where that best stands
    int best_rank = 0;
    int best_score = 0;
    std::string why;  // a refusal's reason
};

struct sender_view {
    bool away = false;        // the last try reached no board, or one that failed
    std::string away_why;     // in a player's words
    std::string last_refusal;  // the newest refusal's reason, kept across sessions
    int waiting = 0;          // rounds in the queue for this board
};

// Start-up, with the board on: the queue on disk is read on the sender's thread.
void start_sender(const board_settings& settings, const char* data_path);
// Shut-down: what was handed over is written first, then the thread stops; a send under
// way is cut short and stays queued.
void stop_sender();

// A finished round under its name; its file is written on the sender's thread. A held
// round waits for release_round (its notices are still on their way).
void queue_round(const std::string& ticket, const replay& named, bool held);
void release_round(const std::string& ticket);
// The board could not hear the whole round: it is kept aside, never sent.
void set_round_aside(const std::string& ticket, const std::string& reason);
// The initials of a new local row, kept in board.txt for rounds that enter none.
void save_initials(const std::string& initials);
// While a round is played nothing new is sent, so the notices have the line to themselves.
void sender_round_playing(bool playing);

bool take_sender_news(sent_round_news* news);
sender_view sender_now();
