// Running the board: the store, the secret, the verifier, the HTTP server, the request log
// and an orderly stop on SIGTERM.
#pragma once

#include "board/board_options.h"

// Serves until SIGTERM or SIGINT; the exit status.
int run_board(const board_options& o);

// --remove, --ban and --unban: one change to an existing store, then the exit status.
int run_board_command(const board_options& o);
