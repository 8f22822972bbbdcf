// The end-of-game and highscore screen, state 3 of the screen loop.
#include "screens/end_screen.h"

#include <allegro.h>

#include <string>

#include "platform/assets.h"
#include "platform/real_host.h"
#include "platform/key_presses.h"
#include "platform/surfaces.h"
#include "play/round.h"
#include "play/round_tape.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"
#include "screens/table_screen.h"
#include "screens/world_view.h"
#include "ui/aimer.h"
#include "world/board_link.h"
#include "world/board_round.h"
#include "ui/buttons.h"
#include "ui/screen_state.h"
#include "ui/still_picture.h"
#include "ui/wipe.h"

record player_score = {};
int got_highscore = highscore_rows;

namespace {

// Whether this visit may still offer the name entry: only its first pass, after a round.
bool may_offer_entry = false;
bool first_pass = true;
still_picture table_still;  // the table, once the name entry is over

int white() { return makecol(255, 255, 255); }
int yellow() { return makecol(255, 255, 0); }

// The grey, the stage's band and the heading: what both the entry and the table draw on.
void draw_backdrop(BITMAP* dest) {
    fill_area(dest, 0, 0, screen_w, screen_h, makecol(40, 40, 40));
    const int band = stage > 5 ? 4 : stage - 1;
    blit(background, dest, 0, back_word[band], 0, 184, 640, 100);
    masked_blit(title, dest, 0, 288, 75, 25, 480, 96);
}

// A name the program had to leave unfinished is kept with this in each untyped place: a
// space would not be read back from the file.
constexpr char unfinished_mark = '-';

// A key held this long after the pass that typed it types again.
constexpr int repeat_after_ms = 200;

// The entry being typed; set while its score still waits to go into the table.
bool entry_open = false;
int letter_pos = 1;

// What a letter key or Backspace has done during its current hold.
struct key_hold {
    bool typed = false;          // it has typed (or been refused) during this hold
    int typed_at = 0;            // the pass that last typed it
    bool press_to_come = false;  // seen down before its press reached the queue
};

void draw_name_entry() {
    blit(buffer, frame, 0, 0, 0, 0, screen_w, screen_h);
    textprintf_centre_ex(frame, font, 320, 130, white(), -1, "new highscore!");
    print_table_name(frame, 250, 150, white(), player_score.name);
    if (letter_pos <= 3)
        textprintf_ex(frame, font, 241 + 8 * letter_pos, 153, yellow(), -1, "_");
    else
        blit(background, frame, 0, 0, 280, 152, 23, 9);  // the confirm mark
}

bool is_letter(int k) { return k >= KEY_A && k <= KEY_Z; }

// Types the key's letter, or erases one for Backspace, where there is room; then the
// entry's rest after a change. The hold has acted either way.
void act(int k, key_hold* h, int now) {
    h->typed = true;
    h->typed_at = now;
    if (is_letter(k) && letter_pos <= 3) {
        player_score.name[letter_pos - 1] = static_cast<char>('A' + (k - KEY_A));
        ++letter_pos;
        wait_ms(100);
    }
    if (k == KEY_BACKSPACE && letter_pos > 1) {
        --letter_pos;
        player_score.name[letter_pos - 1] = ' ';
        wait_ms(100);
    }
}

// The presses since the last pass, in the order they were made, each acting once. True
// when one of them was an accepted Enter.
bool take_presses(key_hold holds[KEY_MAX], int now) {
    int k;
    while (take_key_press(&k)) {
        if (k == KEY_ENTER && letter_pos > 3) return true;
        if (!is_letter(k) && k != KEY_BACKSPACE) continue;
        key_hold& h = holds[k];
        if (h.press_to_come) {
            h.press_to_come = false;  // the hold it begins has typed already
            continue;
        }
        act(k, &h, now);
    }
    return false;
}

// Held keys: one whose press has not come through the queue yet acts now; one that has
// acted repeats once it has been held a while since. A key seen up ends its hold.
void follow_held_key(int k, key_hold* h, int now) {
    if (!key[k]) {
        *h = {};
        return;
    }
    if (!h->typed) {
        h->press_to_come = true;
        act(k, h, now);
    } else if (now - h->typed_at >= repeat_after_ms) {
        act(k, h, now);
    }
}

// Returns false when the program was asked to leave before Enter.
bool type_name() {
    key_hold holds[KEY_MAX] = {};
    forget_key_presses();
    for (;;) {
        if (leave_requested()) return false;
        const int now = now_ms();
        // A pass that takes the third letter does not end the entry on a held Enter.
        const bool enter_allowed = letter_pos > 3;
        if (take_presses(holds, now)) return true;
        if (key[KEY_ENTER] && enter_allowed) return true;
        for (int k = KEY_A; k <= KEY_Z; ++k) follow_held_key(k, &holds[k], now);
        follow_held_key(KEY_BACKSPACE, &holds[KEY_BACKSPACE], now);
        draw_name_entry();
        hand_over(frame);
        wait_ms(100);
    }
}

// The round's replay goes with its row, under the name the row gets.
void insert_entry() {
    entry_open = false;
    player.score = 0;
    const replay* of_round = nullptr;
    if (recorded_round_complete()) {
        for (int i = 0; i < 3; ++i) recorded_round.name[i] = player_score.name[i];
        of_round = &recorded_round;
    }
    got_highscore = enter_highscore(highscore_path, player_score, of_round);
    // The local row is on disk first; the board gets the round after.
    remember_board_initials(player_score.name);
    send_board_round(recorded_round, player_score.name);
}

bool run_name_entry() {
    playsound(2);
    player_score.score = shown_score(player.score);
    letter_pos = 1;
    entry_open = true;
    hand_over(buffer);  // the backdrop at once, without a wipe
    if (!type_name()) {
        keep_unfinished_entry();
        return false;
    }
    insert_entry();
    // Clicks made while typing belong to no button.
    start_button_screen();
    return true;
}

// The round's link, to share or to give `blockdash --replay`; cut at the screen's edge.
void draw_round_link(BITMAP* dest, const std::string& link) {
    if (link.empty()) return;
    const std::string line = link.size() <= 70 ? "watch: " + link : link.substr(0, 80);
    textout_centre_ex(dest, font, line.c_str(), 320, 360, makecol(160, 160, 160), -1);
}

// The lines about the board above the buttons, the rows, and a save that went wrong below them.
void draw_table(BITMAP* dest, const std::string& link) {
    draw_world_view(dest);
    const std::string round_line = board_round_line();
    const std::string refusal = board_refusal_line();
    if (!round_line.empty()) textout_centre_ex(dest, font, round_line.c_str(), 320, 328, yellow(), -1);
    else if (!refusal.empty()) textout_centre_ex(dest, font, refusal.c_str(), 320, 328, makecol(255, 96, 96), -1);
    if (!world_rows_shown()) draw_local_table(dest, got_highscore);
    if (data_notice[0]) textout_centre_ex(dest, font, data_notice, 320, 345, makecol(255, 96, 96), -1);
    draw_round_link(dest, link);
}

// What the world table adds to the screen, as text: a change shows it afresh.
std::string board_text() {
    if (!board_on()) return "";
    return board_round_line() + board_refusal_line() + world_view_text();
}

// A row is clicked as a button is: a tap that went down and up between two passes plays
// it, the click that led here or the second half of a double-click does not. In the world
// view the row's replay is fetched first, and plays when it has come.
void watch_clicked_row() {
    int x = 0, y = 0;
    if (!press_to_act(&x, &y)) return;
    const int row = table_row_at(x, y);
    if (row == highscore_rows) return;
    if (world_rows_shown()) {
        if (watch_world_row(row)) take_press();
        return;
    }
    watch_local_row(row);
}

}  // namespace

void keep_unfinished_entry() {
    if (!entry_open && finished_round_waiting) {
        // The end screen never came: the round is offered its entry here, as it would be there.
        finished_round_waiting = false;
        player_score = {{' ', ' ', ' '}, shown_score(player.score), 1};
        entry_open = player_score.score >= highscore[highscore_rows - 1].score;
        if (!entry_open) send_board_round(recorded_round, board_initials().c_str());
    }
    if (!entry_open) return;
    for (char& c : player_score.name)
        if (c == ' ') c = unfinished_mark;
    insert_entry();
}

void enter_end_screen() {
    quit.edit_button(320, 450, 96, 32, state_leave);
    progress.edit_button(320, 400, 96, 32, state_title);
    player_score.name[0] = player_score.name[1] = player_score.name[2] = ' ';
    player_score.extra = 1;
    got_highscore = highscore_rows;
    if (stage < 1) stage = 1;
    entry_open = false;
    may_offer_entry = finished_round_waiting;
    finished_round_waiting = false;
    first_pass = true;
    enter_world_view();
}

void end_screen_frame() {
    // Ties with the tenth row qualify.
    if (first_pass && may_offer_entry) {
        if (shown_score(player.score) >= highscore[highscore_rows - 1].score) {
            draw_backdrop(buffer);
            if (!run_name_entry()) return;
        } else {
            // No row, so no name typed: the board round goes under the last initials.
            send_board_round(recorded_round, board_initials().c_str());
        }
    }
    first_pass = false;
    const int x = pointer_x(), y = pointer_y();
    const std::string link = round_link_at(x, y);
    table_still.start(buffer, text_key(data_notice) ^ uint64_t(got_highscore) ^ text_key((board_text() + link).c_str()),
                      y);
    draw_backdrop(buffer);
    draw_table(buffer, link);
    draw_button(buffer, quit, "Quit");
    draw_button(buffer, progress, "Return to", "Title");
    wipe_in_if_pending(buffer);
    draw_aimer_at(buffer, x, y);
    table_still.finish(buffer);
    quit.is_clicked();
    progress.is_clicked();
    if (game_state == state_end_of_game && !take_world_switch_press()) watch_clicked_row();
    if (game_state == state_end_of_game) follow_world_replay();
    wait_ms(20);
}
