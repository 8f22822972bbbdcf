// Start and stop of the world table's parts. Thread: the main thread.
#include "world/board_link.h"

#include "records/highscore_file.h"
#include "records/replay_file.h"
#include "world/board_round.h"
#include "world/board_ticket.h"
#include "world/round_sender.h"
#include "world/world_table.h"

namespace {

bool on = false;
board_settings board;

}  // namespace

void start_board(const board_settings& settings) {
    stop_board();
    board = settings;
    if (board.initials.empty()) board.initials = "---";
    start_board_rounds(settings);  // nothing starts with the board off
    if (settings.url.empty() || settings.key.empty()) return;
    start_sender(settings, highscore_path);
    start_world_table(settings, highscore_path);
    on = true;
}

void stop_board() {
    stop_board_rounds();
    stop_world_table();
    stop_sender();
    on = false;
}

bool board_on() { return on; }
bool board_ticket_in_hand() { return ticket_in_hand(); }

void board_between_frames() {
    if (!on) return;
    take_round_answers();
    take_world_answers();
    keep_ticket_fresh();
    if (!board_round_running()) ask_for_ticket();
}

std::string board_initials() { return board.initials; }
std::string board_address() { return on ? board.url : ""; }

void remember_board_initials(const char name[3]) {
    const std::string typed(name, 3);
    if (!on || !initials_fit(name) || typed == board.initials) return;
    board.initials = typed;
    save_initials(typed);
}
