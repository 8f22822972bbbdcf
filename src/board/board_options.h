// The board's command line.
#pragma once

#include <string>

#include "board/request_limits.h"

struct board_options {
    std::string listen_address = "127.0.0.1";
    int listen_port = 8640;
    std::string data_dir;  // default: $STATE_DIRECTORY (systemd), else ./board-data
    std::string database;  // empty: SQLite in data_dir
    std::string trusted_proxy;
    std::string watch_dir;  // empty: default_watch_folder()
    bool testing_waiver = false;  // no timing rule, no request limits
    int retention_days = 0;       // 0: keep every round
    limits_per_minute limits;
    std::string remove_round;
    std::string ban_key;
    std::string unban_key;
    bool help = false;
    bool version = false;
};

// False with the reason on a line that cannot be followed.
bool read_board_options(int argc, const char* const* argv, board_options& o, std::string& problem);

extern const char board_usage[];
