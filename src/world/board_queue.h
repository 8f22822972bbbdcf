// Board rounds waiting to be sent, kept in "KZ DATA/board-queue" so that a crash, a
// logout or a closed window loses none: one file a round, "round-<sum>.sub", holding the
// board's address, the ticket and the replay's bytes. A round the board refused is kept
// as "round-<sum>.refused" with the reason, never sent again. No name here is one the
// replay store takes for its own.
// Thread: the client's sender thread alone reads and writes these files while the game
// runs (tests call them from theirs).
#pragma once

#include <string>
#include <vector>

#include "records/replay_file.h"

struct queued_round {
    std::string path;
    std::string url;
    std::string ticket;
    std::string reason;  // why the board refused it (refused ones only)
    std::vector<uint8_t> replay_bytes;
    long long queued_at_ns = 0;  // when its file was last written
};

// The folder beside the data file at `data_path`.
std::string board_queue_folder(const char* data_path);

// Writes the round's file atomically under the data folder's lock. False when it could
// not be kept (stderr says why).
bool queue_board_round(const char* data_path, const std::string& url, const std::string& ticket,
                       const replay& r, std::string* path);

// The rounds waiting, the oldest first; files that do not read are left where they are.
std::vector<queued_round> waiting_board_rounds(const char* data_path);

// The board took the round: its file goes.
void remove_board_round(const char* data_path, const std::string& path);

// The board refused the round: it is kept as ".refused" with the reason, and not sent again.
bool set_board_round_aside(const char* data_path, const queued_round& round, const std::string& reason);

// The newest reason among the refused rounds; empty when none was refused.
std::string last_board_refusal(const char* data_path);

// The cache of world replays beside the data file: "world-replays", of which only the
// newest `keep` "world-*.rpl" files stay. Nothing else there is touched.
std::string world_replay_folder(const char* data_path);
void trim_world_replays(const char* data_path, size_t keep);

// Reads one queue file (bounded); false when it is not one.
bool read_queued_round(const std::string& path, queued_round* out);
