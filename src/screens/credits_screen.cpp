// The statistics and credits screen, reached with the title menu's Credits button.
#include "screens/credits_screen.h"

#include "platform/assets.h"
#include "platform/real_host.h"
#include "platform/surfaces.h"
#include "records/lifetime_stats.h"
#include "ui/aimer.h"
#include "ui/buttons.h"
#include "ui/screen_state.h"
#include "ui/still_picture.h"
#include "ui/wipe.h"

// A still screen: composing at the pace of the title menu is fast enough for the cursor,
// and anything faster would only burn the processor.
constexpr int credits_frame_wait_ms = 20;

void enter_credits_screen() { progress.edit_button(320, 420, 96, 32, state_title); }

void draw_credits_screen(BITMAP* dest) {
    const int white = makecol(255, 255, 255);
    fill_area(dest, 0, 0, screen_w, screen_h, makecol(40, 40, 40));
    masked_blit(title, dest, 0, 480, 75, 50, 480, 96);
    textprintf_ex(dest, font, 200, 250, white, -1, "Total blocks cut: %i", t_blocks_cut);
    textprintf_ex(dest, font, 200, 270, white, -1, "Total games: %i", t_games);
    textprintf_ex(dest, font, 200, 290, white, -1, "Max combo: %i", m_combo);
    // Widened so a damaged file holding a huge best score prints it instead of overflowing.
    textprintf_ex(dest, font, 200, 310, white, -1, "Max score: %lld", m_score * 10LL);
    textprintf_ex(dest, font, 200, 330, white, -1, "Total play time: %i hr %i min %i sec",
                  t_play_time[2], t_play_time[1], t_play_time[0]);
    textout_centre_ex(dest, font, "-Programming by Dovrane-", 320, 160, white, -1);
    textout_centre_ex(dest, font, "-Art by Ostrel-", 320, 180, white, -1);
    textout_centre_ex(dest, font, "-Music by Halvik-", 320, 200, white, -1);
    draw_button(dest, progress, "Return to", "Title");
}

namespace {
still_picture credits_still;
}  // namespace

void credits_screen_frame() {
    const int x = pointer_x(), y = pointer_y();
    // The figures do not change while the screen is up; should they, all is drawn again.
    const uint64_t figures = (uint64_t(t_blocks_cut) << 40) ^ (uint64_t(t_games) << 20) ^ uint64_t(m_combo) ^
                             (uint64_t(m_score) << 7) ^ (uint64_t(t_play_time[0]) << 50) ^
                             (uint64_t(t_play_time[1]) << 56) ^ (uint64_t(t_play_time[2]) << 30);
    credits_still.start(buffer, figures, y);
    draw_credits_screen(buffer);
    wipe_in_if_pending(buffer);
    progress.is_clicked();
    draw_aimer_at(buffer, x, y);
    credits_still.finish(buffer);
    wait_ms(credits_frame_wait_ms);
}
