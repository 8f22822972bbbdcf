// blockdash-board: the world table's server.
#include <cstdio>

#include "board/board_options.h"
#include "board/board_server.h"

#ifndef BLOCKDASH_VERSION
#define BLOCKDASH_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
    board_options o;
    std::string problem;
    if (!read_board_options(argc, argv, o, problem)) {
        std::fprintf(stderr, "blockdash-board: %s\nTry 'blockdash-board --help'.\n", problem.c_str());
        return 2;
    }
    if (o.help) {
        std::fputs(board_usage, stdout);
        return 0;
    }
    if (o.version) {
        std::printf("blockdash-board %s\n", BLOCKDASH_VERSION);
        return 0;
    }
    if (!o.remove_round.empty() || !o.ban_key.empty() || !o.unban_key.empty()) return run_board_command(o);
    return run_board(o);
}
