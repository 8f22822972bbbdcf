// The pause menu and the screenshot.
#include "play/pause_menu.h"

#include <allegro.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/assets.h"
#include "platform/real_host.h"
#include "platform/picture_size.h"
#include "platform/surfaces.h"
#include "platform/window_focus.h"
#include "play/round_events.h"
#include "play/round_input.h"
#include "play/round_tape.h"
#include "play/round_state.h"
#include "ui/aimer.h"
#include "ui/buttons.h"
#include "ui/screen_state.h"

const char* const screenshot_path = "trevik_screenshot.bmp";

namespace {

// Where the last pass drew the cursor's top row; none before the menu's first pass.
constexpr int no_cursor_yet = -1000;
int drawn_cursor_top = no_cursor_yet;
bool field_hidden = false;  // for the menu open now

// `frame` still holds the last picture of play; the menu is composed over a copy of it.
// Only the cursor moves while the menu is up, so after the first pass the menu is composed
// again in the rows the cursor left and the rows it is on alone.
void draw_pause_menu() {
    const int x = pointer_x(), y = pointer_y();
    int top = 0, bottom = screen_h;
    if (drawn_cursor_top != no_cursor_yet) {
        top = std::max(0, std::min(y - 16, drawn_cursor_top));
        bottom = std::min(screen_h, std::max(y - 16, drawn_cursor_top) + 32);
    }
    set_clip_rect(buffer, 0, top, screen_w - 1, bottom - 1);
    if (field_hidden) clear_to_color(buffer, makecol(0, 0, 0));
    else blit(frame, buffer, 0, 0, 0, 0, 640, 480);
    masked_blit(title, buffer, 0, 96, 80, 120, 480, 96);
    draw_button(buffer, quit, "Return to", "Title");
    draw_button(buffer, progress, "Continue");
    const int pauses_left = pauses_left_in_round();
    if (pauses_left >= 0)
        textprintf_centre_ex(buffer, font, 320, 330, makecol(255, 255, 255), -1,
                             pauses_left == 1 ? "World round: 1 pause left" : "World round: %i pauses left",
                             pauses_left);
    draw_aimer_at(buffer, x, y);
    set_clip_rect(buffer, 0, 0, screen_w - 1, screen_h - 1);
    hand_over_rows(buffer, top, bottom);
    drawn_cursor_top = y - 16;
}

// Either button sets the latch, so the click that closed the menu cannot start a dash; it
// is noted in the frame's input, which is all a replay of the round sees of the pause.
// The library's button state is never written: it would report a button still held as a
// new press at the next motion, and that press would act on the title.
void test_buttons() {
    if (quit.is_clicked() == 1) {
        paused = false;
        round_in.pause_closed = true;
    }
    if (progress.is_clicked() == 1) {
        paused = false;
        round_in.pause_closed = true;
    }
}

// Written beside the old one and renamed over it: a FIFO or a half-written file in its
// place can neither hang the menu nor be left behind as the screenshot.
void save_screenshot() {
    char temporary[64];
    std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", screenshot_path);
    const int fd = mkstemp(temporary);
    if (fd < 0) return;
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);  // as a plain save would make it, not mkstemp's 0600
    close(fd);
    if (save_bmp(temporary, frame, nullptr) != 0 || std::rename(temporary, screenshot_path) != 0)
        unlink(temporary);
}

void pause_menu_pass() {
    draw_pause_menu();
    test_buttons();
    if (key[KEY_TAB] && !field_hidden) save_screenshot();
    wait_ms(20);
}

}  // namespace

void run_pause_menu() {
    if (round_in.right) paused = true;
    if (key[KEY_ESC]) paused = true;
    if (take_focus_loss()) paused = true;  // a player who looked away finds the round waiting
    if (!paused) return;
    tell_paused(recorded_round.frames);
    start_button_screen();  // a press held in play does not act on the menu
    drawn_cursor_top = no_cursor_yet;
    field_hidden = round_held_to_pace();
    // Closing the window while paused leaves through the screen loop.
    while (paused && !leave_requested()) pause_menu_pass();
    take_focus_loss();  // losing the focus while paused asks for nothing more
    tell_resumed(recorded_round.frames);
    start_button_screen();  // nor does the click that closed it act on the round
}
