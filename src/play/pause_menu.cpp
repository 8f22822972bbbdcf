// The pause menu and the screenshot.
#include "play/pause_menu.h"

#include <allegro.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/assets.h"
#include "platform/host.h"
#include "platform/surfaces.h"
#include "platform/window_focus.h"
#include "play/round_input.h"
#include "play/round_state.h"
#include "ui/aimer.h"
#include "ui/buttons.h"
#include "ui/screen_state.h"

const char* const screenshot_path = "trevik_screenshot.bmp";

namespace {

// `frame` still holds the last picture of play; the menu is composed over a copy of it.
void draw_pause_menu() {
    blit(frame, buffer, 0, 0, 0, 0, 640, 480);
    masked_blit(title, buffer, 0, 96, 80, 120, 480, 96);
    draw_button(buffer, quit, "Return to", "Title");
    draw_button(buffer, progress, "Continue");
    draw_aimer(buffer);
    hand_over(buffer);
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
    if (key[KEY_TAB]) save_screenshot();
    wait_ms(20);
}

}  // namespace

void run_pause_menu() {
    if (round_in.right) paused = true;
    if (key[KEY_ESC]) paused = true;
    if (take_focus_loss()) paused = true;  // a player who looked away finds the round waiting
    if (!paused) return;
    quit.shown = true;
    progress.shown = true;
    start_button_screen();  // a press held in play does not act on the menu
    // Closing the window while paused leaves through the screen loop.
    while (paused && !leave_requested()) pause_menu_pass();
    take_focus_loss();  // losing the focus while paused asks for nothing more
    quit.shown = false;
    progress.shown = false;
    start_button_screen();  // nor does the click that closed it act on the round
}
