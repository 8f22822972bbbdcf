// The hooks the rules call, filled with the game's own drawing, input and files.
#include "play/game_shell.h"

#include "platform/window_focus.h"
#include "play/hud.h"
#include "play/pause_menu.h"
#include "play/render.h"
#include "play/round_events.h"
#include "play/round_input.h"
#include "play/round_shell.h"
#include "records/lifetime_stats.h"
#include "ui/buttons.h"
#include "ui/screen_state.h"

void (*replay_label)(BITMAP* picture) = nullptr;

namespace {

// The pause menu's buttons in their places, at every round's start, replays' too.
void set_up_round() {
    quit.edit_button(320, 300, 96, 32, state_title);
    progress.edit_button(320, 250, 96, 32, state_play);
    take_focus_loss();  // the focus lost on another screen is no reason to pause this round
}

// In the left panel, where a replay says "REPLAY": the round is played but will not count.
void draw_quiet_line(BITMAP* picture) {
    if (const char* line = round_quiet_line()) textout_ex(picture, font, line, 16, 440, makecol(160, 160, 160), -1);
}

void draw_labelled_round() {
    if (replaying) draw_round(replay_label);
    else draw_round(round_quiet_line() ? draw_quiet_line : nullptr);
}

void save_the_totals() { save_stats(stats_path); }

constexpr round_shell game_shell = {set_up_round,      read_round_input,     run_pause_menu, draw_labelled_round,
                                    draw_stage_banner, draw_time_out_banner, save_the_totals};

}  // namespace

void use_game_shell() { shell = game_shell; }
