// The picture shell: the drawing step and the two banners, in the order the rules call them.
#include "play/picture_shell.h"

#include "play/round_events.h"
#include "play/round_shell.h"
#include "play/round_state.h"

namespace {

pixel_canvas* target = nullptr;
const picture_sheets* sheets_in_use = nullptr;
const char* label_name = nullptr;

// A replay carries its label; a round played, the line that says it can no longer count.
void draw_picture() {
    if (skip_drawing) return;
    picture_extras extras;
    extras.pose = player.pose;
    if (replaying) extras.replay_name = label_name;
    else extras.quiet_line = round_quiet_line();
    draw_round_picture(*target, *sheets_in_use, extras);
}

// Over the picture just drawn, as the game lays it over the one it handed over.
void stage_banner() {
    if (!skip_drawing) draw_stage_banner_picture(*target, *sheets_in_use, stage);
}

// Over the last frame's picture: the frame's own drawing then replaces it, as in the game.
void time_out_banner() {
    if (!skip_drawing) draw_time_out_banner_picture(*target, *sheets_in_use);
}

}  // namespace

void use_picture_shell(pixel_canvas& picture, const picture_sheets& sheets, const char* replay_name) {
    target = &picture;
    sheets_in_use = &sheets;
    label_name = replay_name;
    use_bare_shell();
    shell.draw_round = draw_picture;
    shell.stage_banner = stage_banner;
    shell.time_out_banner = time_out_banner;
}
