// The screen-state loop. A move to a higher state continues in the same pass, a move to a
// lower one runs through the rest of the pass; either way each entry set-up runs once
// before its screen's first frame, and every screen finds a wipe pending.
#include "app/screen_loop.h"

#include "platform/host.h"
#include "play/round.h"
#include "screens/credits_screen.h"
#include "screens/end_screen.h"
#include "screens/title_menu.h"
#include "ui/buttons.h"
#include "ui/wipe.h"
#include "world/board_link.h"
#include "world/board_round.h"

screen_steps screens[4] = {
    {enter_credits_screen, credits_screen_frame},
    {enter_title_menu, title_menu_frame},
    {start_round, play_frame},
    {enter_end_screen, end_screen_frame},
};

namespace {

void visit(int state) {
    if (game_state != state) return;
    start_button_screen();
    screens[state].enter();
    while (game_state == state) {
        screens[state].frame();
        board_between_frames();
        if (leave_requested()) game_state = state_leave;
    }
}

}  // namespace

void run_screen_loop() {
    while (game_state <= 4) {
        visit(state_credits);
        screen_lock = true;
        visit(state_title);
        screen_lock = true;
        visit(state_play);
        if (game_state != state_end_of_game) board_round_dropped();
        stopmusic();  // every pass, whether or not a round was played
        screen_lock = true;
        visit(state_end_of_game);
        screen_lock = true;
    }
}
