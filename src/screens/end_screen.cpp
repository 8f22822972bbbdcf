// The end-of-game and highscore screen, state 3 of the screen loop.
#include "screens/end_screen.h"

#include <allegro.h>

#include <atomic>

#include "platform/assets.h"
#include "platform/host.h"
#include "platform/key_presses.h"
#include "platform/surfaces.h"
#include "play/round.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"
#include "records/replay_store.h"
#include "play/round_replay.h"
#include "screens/replay_screen.h"
#include "ui/aimer.h"
#include "ui/buttons.h"
#include "ui/screen_state.h"
#include "ui/wipe.h"

record player_score = {};
int got_highscore = highscore_rows;

namespace {

// Whether this visit may still offer the name entry: only its first pass, after a round.
bool may_offer_entry = false;
bool first_pass = true;
// A row plays its replay on a press that began on this screen, not on the click that led here.
bool press_may_watch = false;

constexpr int row_left = 240, row_right = 400;
int row_top(int i) { return 130 + 20 * i; }

int white() { return makecol(255, 255, 255); }
int yellow() { return makecol(255, 255, 0); }

// The grey, the stage's band and the heading: what both the entry and the table draw on.
void draw_backdrop(BITMAP* dest) {
    rectfill(dest, 0, 0, screen_w, screen_h, makecol(40, 40, 40));
    const int band = stage > 5 ? 4 : stage - 1;
    blit(background, dest, 0, back_word[band], 0, 184, 640, 100);
    masked_blit(title, dest, 0, 288, 75, 25, 480, 96);
}

// Names are raw bytes from a file; passed as 0..255 they print as Latin-1 characters, and
// a NUL ends the name early.
void print_name(BITMAP* dest, int x, int y, int colour, const char* name) {
    textprintf_ex(dest, font, x, y, colour, -1, "%c%c%c", static_cast<unsigned char>(name[0]),
                  static_cast<unsigned char>(name[1]), static_cast<unsigned char>(name[2]));
}

void draw_name_entry(int letter_pos) {
    blit(buffer, frame, 0, 0, 0, 0, screen_w, screen_h);
    textprintf_centre_ex(frame, font, 320, 130, white(), -1, "new highscore!");
    print_name(frame, 250, 150, white(), player_score.name);
    if (letter_pos <= 3)
        textprintf_ex(frame, font, 241 + 8 * letter_pos, 153, yellow(), -1, "_");
    else
        blit(background, frame, 0, 0, 280, 152, 23, 9);  // the confirm mark
}

void type_letter(int k, int* letter_pos) {
    player_score.name[*letter_pos - 1] = static_cast<char>('A' + (k - KEY_A));
    ++*letter_pos;
}

void erase_letter(int* letter_pos) {
    --*letter_pos;
    player_score.name[*letter_pos - 1] = ' ';
}

// The presses since the last pass, in order. True when one of them was an accepted Enter.
bool take_presses(int* letter_pos, bool pressed[KEY_MAX]) {
    int k;
    while (take_key_press(&k)) {
        pressed[k] = true;
        if (k == KEY_ENTER && *letter_pos > 3) return true;
        if (k >= KEY_A && k <= KEY_Z && *letter_pos <= 3) type_letter(k, letter_pos);
        if (k == KEY_BACKSPACE && *letter_pos > 1) erase_letter(letter_pos);
    }
    return false;
}

// Keys still down act again on every pass; a key pressed during this pass already has.
// Returns false when the program was asked to leave before Enter.
bool type_name() {
    int letter_pos = 1;
    forget_key_presses();
    for (;;) {
        if (leave_requested()) return false;
        bool pressed[KEY_MAX] = {};
        if (take_presses(&letter_pos, pressed)) return true;
        if (key[KEY_ENTER] && !pressed[KEY_ENTER] && letter_pos > 3) return true;
        for (int k = KEY_A; k <= KEY_Z; ++k) {
            if (key[k] && !pressed[k] && letter_pos <= 3) {
                type_letter(k, &letter_pos);
                wait_ms(100);
            }
        }
        if (key[KEY_BACKSPACE] && !pressed[KEY_BACKSPACE] && letter_pos > 1) {
            erase_letter(&letter_pos);
            wait_ms(100);
        }
        draw_name_entry(letter_pos);
        hand_over(frame);
        wait_ms(100);
    }
}

bool run_name_entry() {
    playsound(2);
    player_score.score = shown_score(player.score);
    hand_over(buffer);  // the backdrop at once, without a wipe
    if (!type_name()) return false;
    player.score = 0;
    const replay* of_round = nullptr;
    if (recorded_round_complete()) {
        for (int i = 0; i < 3; ++i) recorded_round.name[i] = player_score.name[i];
        of_round = &recorded_round;
    }
    got_highscore = enter_highscore(highscore_path, player_score, of_round);
    return true;
}

void draw_table(BITMAP* dest) {
    for (int i = 0; i < highscore_rows; ++i) {
        const int colour = i == got_highscore ? yellow() : white();
        const int y = row_top(i);
        print_name(dest, 250, y, colour, highscore[i].name);
        textprintf_right_ex(dest, font, 380, y, colour, -1, "%i", highscore[i].score);
        if (!row_replay[i].empty()) triangle(dest, 388, y, 388, y + 6, 394, y + 3, colour);  // play mark
    }
    // Below the last row, above the buttons: only when a save went wrong.
    if (data_notice[0]) textout_centre_ex(dest, font, data_notice, 320, 345, makecol(255, 96, 96), -1);
}

int row_at(int x, int y) {
    if (x < row_left || x > row_right) return highscore_rows;
    for (int i = 0; i < highscore_rows; ++i)
        if (y >= row_top(i) - 5 && y < row_top(i) + 15) return i;
    return highscore_rows;
}

void watch_clicked_row() {
    if (!(mouse_b & 1)) {
        press_may_watch = true;
        return;
    }
    if (!press_may_watch) return;
    press_may_watch = false;
    const int row = row_at(pointer_x(), pointer_y());
    if (row == highscore_rows || row_replay[row].empty()) return;
    static replay watched;
    const replay_status status = read_replay_file(row_replay[row].c_str(), watched);
    if (status == replay_status::read)
        watch_replay(watched);
    else
        tell_player("That replay cannot be played.", "cannot play \"%s\": %s", row_replay[row].c_str(),
                    replay_problem(status));
}

}  // namespace

void enter_end_screen() {
    quit.edit_button(320, 450, 96, 32, state_leave);
    progress.edit_button(320, 400, 96, 32, state_title);
    player_score.name[0] = player_score.name[1] = player_score.name[2] = ' ';
    player_score.extra = 1;
    got_highscore = highscore_rows;
    if (stage < 1) stage = 1;
    may_offer_entry = finished_round_waiting;
    finished_round_waiting = false;
    first_pass = true;
    press_may_watch = false;
}

void end_screen_frame() {
    draw_backdrop(buffer);
    // Ties with the tenth row qualify.
    if (first_pass && may_offer_entry &&
        shown_score(player.score) >= highscore[highscore_rows - 1].score) {
        if (!run_name_entry()) return;
    }
    first_pass = false;
    draw_table(buffer);
    draw_button(buffer, quit, "Quit");
    draw_button(buffer, progress, "Return to", "Title");
    wipe_in_if_pending(buffer);
    draw_aimer(buffer);
    hand_over(buffer);
    quit.is_clicked();
    progress.is_clicked();
    if (game_state == state_end_of_game) watch_clicked_row();
    wait_ms(20);
}
