// The world's best, today and of all time, and the replays of its rows, fetched into a
// cache folder beside the data file. Each table has a lane of its own with a short bound,
// so it shows what it has within two seconds and never waits behind another request.
// Thread: the main thread calls these; the requests run on their lanes' threads, and a
// replay is written to the cache on its lane's thread, never on the main one.
#pragma once

#include <string>
#include <vector>

#include "world/board_settings.h"

enum class world_period { day, all };

struct world_row {
    int rank = 0;
    std::string name;
    int score = 0;
    std::string replay;  // its address
    std::string watch;   // its watch page's path on the board, "/watch/<id>"
};

struct world_table {
    bool asked = false;
    bool answered = false;     // rows hold the last answer
    bool unreachable = false;  // the last try failed; `why` says how
    std::string why;
    std::string fetched_at;  // "17:42", local time
    std::vector<world_row> rows;
};

void start_world_table(const board_settings& settings, const char* data_path);
void stop_world_table();
// Between frames: the answers that came.
void take_world_answers();

// Asks for the period's top ten in the background.
void fetch_world(world_period period);
const world_table& world_best(world_period period);

// Downloads a row's replay into the cache folder; `world_replay_ready` says when it has
// come (its path) or failed (empty path, `why` says why). A cancelled one never comes.
void download_world_replay(const std::string& address);
bool world_replay_ready(std::string* path, std::string* why);
bool world_replay_fetching();
void cancel_world_replay();
