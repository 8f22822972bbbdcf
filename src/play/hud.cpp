// The heads-up display, the popups and the two banners of a round.
#include "play/hud.h"

#include "platform/assets.h"
#include "platform/surfaces.h"
#include "play/round_state.h"

namespace {

// A round redraws in small parts, each clipped: text whose rows the clip leaves out is not
// even formatted.
bool rows_show(BITMAP* dest, int top, int bottom) { return top < dest->cb && bottom > dest->ct; }

bool shows(BITMAP* dest, const popup& p) { return p.timer > 0 && rows_show(dest, p.y, p.y + text_height(font)); }

}  // namespace

void draw_hud(BITMAP* dest) {
    const int white = makecol(255, 255, 255);
    if (rows_show(dest, 30, 40 + text_height(font))) {
        textprintf_ex(dest, font, 20, 30, white, -1, "Score");
        textprintf_right_ex(dest, font, 60, 40, white, -1, "%i", 10 * player.score);
        textprintf_ex(dest, font, 580, 30, white, -1, "Time");
        // The last figure counts frames left in the game second, 39 down to 1, not tenths.
        textprintf_ex(dest, font, 570, 40, white, -1, "%i'%i.%i", time_left / 60, time_left % 60,
                      39 - play_time[0]);
    }
    for (int k = 0; k < hit_popups; ++k)
        if (shows(dest, got_combo[k]))
            textprintf_centre_ex(dest, font, got_combo[k].x, got_combo[k].y, white, -1, "%i hit", k + 1);
    if (shows(dest, lost_time)) textprintf_centre_ex(dest, font, lost_time.x, lost_time.y, white, -1, "-5 sec");
    if (shows(dest, time_popup))
        textprintf_centre_ex(dest, font, time_popup.x, time_popup.y, white, -1, "+%i sec", time_bonus);
    if (shows(dest, power_popup))
        textprintf_centre_ex(dest, font, power_popup.x, power_popup.y, white, -1, "score X %i",
                             power_factor);
}

void draw_stage_banner() {
    if (skip_drawing) return;
    present_masked(title, 0, 384, 150, 150, 220, 96);
    present_masked(title, 180 + 40 * stage, 384, 370, 150, 38, 96);
}

void draw_time_out_banner() {
    if (!skip_drawing) present_masked(title, 0, 192, 80, 120, 480, 96);
}
