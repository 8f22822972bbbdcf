// The title menu, the first screen and the one every other screen returns to.
#include "screens/title_menu.h"

#include "platform/assets.h"
#include "platform/real_host.h"
#include "platform/surfaces.h"
#include "play/round.h"
#include "records/data_folder.h"
#include "ui/aimer.h"
#include "ui/screen_state.h"
#include "ui/still_picture.h"
#include "ui/wipe.h"

clicky scores_button;
clicky credits_button;

const char* const title_notice = "Click to dash through the falling blocks - Esc pauses";

void enter_title_menu() {
    quit.edit_button(320, 400, 96, 32, state_leave);
    progress.edit_button(320, 250, 96, 32, state_play);
    scores_button.edit_button(320, 300, 96, 32, state_end_of_game);
    credits_button.edit_button(320, 350, 96, 32, state_credits);
    // A visit to the highscores from here must not look like a finished round.
    player.score = 0;
}

void draw_title_menu(BITMAP* dest) {
    fill_area(dest, 0, 0, screen_w, screen_h, makecol(40, 40, 40));
    masked_blit(title, dest, 0, 0, 75, 100, 480, 96);
    draw_button(dest, quit, "Quit");
    draw_button(dest, progress, "Start Game");
    draw_button(dest, scores_button, "Highscores");
    draw_button(dest, credits_button, "Credits");
    textout_centre_ex(dest, font, title_notice, 320, 465, makecol(255, 255, 255), -1);
    if (data_notice[0]) textout_centre_ex(dest, font, data_notice, 320, 440, makecol(255, 96, 96), -1);
}

namespace {
still_picture title_still;
}  // namespace

void title_menu_frame() {
    const int x = pointer_x(), y = pointer_y();
    title_still.start(buffer, text_key(data_notice), y);
    draw_title_menu(buffer);
    wipe_in_if_pending(buffer);
    draw_aimer_at(buffer, x, y);
    title_still.finish(buffer);
    quit.is_clicked();
    progress.is_clicked();
    scores_button.is_clicked();
    credits_button.is_clicked();
    wait_ms(20);
}
