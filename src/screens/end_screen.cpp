// The end-of-game and highscore screen, state 3 of the screen loop.
#include "screens/end_screen.h"

#include <allegro.h>

#include <string>

#include "platform/assets.h"
#include "platform/host.h"
#include "platform/key_presses.h"
#include "platform/surfaces.h"
#include "play/board_link.h"
#include "play/round.h"
#include "records/board_settings.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"
#include "records/replay_store.h"
#include "play/round_replay.h"
#include "screens/replay_screen.h"
#include "ui/aimer.h"
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

constexpr int row_left = 240, row_right = 400;
int row_top(int i) { return 130 + 20 * i; }

int white() { return makecol(255, 255, 255); }
int yellow() { return makecol(255, 255, 0); }

// The grey, the stage's band and the heading: what both the entry and the table draw on.
void draw_backdrop(BITMAP* dest) {
    fill_area(dest, 0, 0, screen_w, screen_h, makecol(40, 40, 40));
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
    print_name(frame, 250, 150, white(), player_score.name);
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
    remember_initials(player_score.name);
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

// ---- the world's best, in place of the local table ----

enum class table_view { local, today, all_time };
table_view view = table_view::local;
std::string world_status;  // a replay being fetched, or why it cannot be played

constexpr int switch_left = 480, switch_right = 600, switch_top = 130;
const char* const view_names[] = {"LOCAL", "TODAY", "ALL TIME"};

const world_table* shown_world() {
    if (view == table_view::local) return nullptr;
    const world_table& t = world_best(view == table_view::today ? world_period::day : world_period::all);
    return t.answered && !t.unreachable ? &t : nullptr;  // a board away leaves the local table
}

void draw_switch(BITMAP* dest) {
    if (!board_on()) return;
    textout_ex(dest, font, "WORLD TABLE", switch_left, switch_top - 16, makecol(160, 160, 160), -1);
    for (int i = 0; i < 3; ++i)
        textout_ex(dest, font, view_names[i], switch_left + 8, switch_top + 14 * i,
                   static_cast<int>(view) == i ? yellow() : white(), -1);
    const world_table* t = shown_world();
    const bool away = view != table_view::local &&
                      world_best(view == table_view::today ? world_period::day : world_period::all).unreachable;
    const char* status = "";
    std::string fetched;
    if (away) status = "cannot be reached";
    else if (view != table_view::local && !t) status = "fetching...";
    else if (t) {
        fetched = "fetched " + t->fetched_at;
        status = fetched.c_str();
    }
    if (!world_status.empty()) status = world_status.c_str();
    textout_ex(dest, font, status, switch_left, switch_top + 48, away ? makecol(255, 96, 96) : white(), -1);
}

// What the world table adds to the screen, as text: a change shows it afresh.
std::string board_text() {
    if (!board_on()) return "";
    std::string text = std::to_string(static_cast<int>(view)) + board_round_line() + board_refusal_line() + world_status;
    for (const world_table* t : {&world_best(world_period::day), &world_best(world_period::all)}) {
        text += t->fetched_at + (t->unreachable ? "!" : "") + (t->answered ? "+" : "");
        for (const world_row& row : t->rows)
            text += std::to_string(row.rank) + row.name + std::to_string(row.score) + row.replay;
    }
    return text;
}

void draw_world_rows(BITMAP* dest, const world_table& t) {
    const std::string own_id = board_round_id();
    for (size_t i = 0; i < t.rows.size() && i < highscore_rows; ++i) {
        const world_row& row = t.rows[i];
        const bool own = !own_id.empty() && row.replay.size() >= own_id.size() &&
                         row.replay.compare(row.replay.size() - own_id.size(), own_id.size(), own_id) == 0;
        const int colour = own ? yellow() : white();
        const int y = row_top(static_cast<int>(i));
        textprintf_right_ex(dest, font, 242, y, colour, -1, "%i.", row.rank);
        print_name(dest, 250, y, colour, (row.name + "   ").c_str());
        textprintf_right_ex(dest, font, 380, y, colour, -1, "%i", row.score);
        if (!row.replay.empty()) triangle(dest, 388, y, 388, y + 6, 394, y + 3, colour);
    }
}

void draw_table(BITMAP* dest) {
    draw_switch(dest);
    const std::string round_line = board_round_line();
    const std::string refusal = board_refusal_line();
    if (!round_line.empty()) textout_centre_ex(dest, font, round_line.c_str(), 320, 328, yellow(), -1);
    else if (!refusal.empty()) textout_centre_ex(dest, font, refusal.c_str(), 320, 328, makecol(255, 96, 96), -1);
    if (const world_table* t = shown_world()) {
        draw_world_rows(dest, *t);
        if (data_notice[0]) textout_centre_ex(dest, font, data_notice, 320, 345, makecol(255, 96, 96), -1);
        return;
    }
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

// A press on the switch's words shows that view, and asks the board for it afresh; it
// goes through the press latch as a button's does.
bool take_switch_press() {
    if (!board_on()) return false;
    int x = 0, y = 0;
    if (!press_to_act(&x, &y)) return false;
    if (x < switch_left || x > switch_right || y < switch_top - 4 || y >= switch_top + 14 * 3 - 4) return false;
    take_press();
    view = static_cast<table_view>((y - (switch_top - 4)) / 14);
    world_status.clear();
    if (view == table_view::today) fetch_world(world_period::day);
    if (view == table_view::all_time) fetch_world(world_period::all);
    return true;
}

void play_world_replay() {
    std::string path, why;
    if (!world_replay_ready(&path, &why)) return;
    world_status = why;
    if (path.empty()) return;
    static replay watched;
    const replay_status status = read_replay_file(path.c_str(), watched);
    if (status != replay_status::read) {
        world_status = "That replay cannot be played.";
        return;
    }
    world_status.clear();
    watch_replay(watched);
}

// False when the row has no replay to fetch.
bool watch_world_row(int row) {
    const world_table* t = shown_world();
    if (!t || row >= static_cast<int>(t->rows.size()) || t->rows[static_cast<size_t>(row)].replay.empty())
        return false;
    world_status = "fetching the replay...";
    download_world_replay(t->rows[static_cast<size_t>(row)].replay);
    return true;
}

// A row is clicked as a button is: a tap that went down and up between two passes plays
// it, the click that led here or the second half of a double-click does not. In the world
// view the row's replay is fetched first, and plays when it has come.
void watch_clicked_row() {
    int x = 0, y = 0;
    if (!press_to_act(&x, &y)) return;
    const int row = row_at(x, y);
    if (row == highscore_rows) return;
    if (view != table_view::local) {
        if (watch_world_row(row)) take_press();
        return;
    }
    if (row_replay[row].empty()) return;
    take_press();
    static replay watched;
    const replay_status status = read_replay_file(row_replay[row].c_str(), watched);
    if (status == replay_status::read)
        watch_replay(watched);
    else
        tell_player("That replay cannot be played.", "cannot play \"%s\": %s", row_replay[row].c_str(),
                    replay_problem(status));
}

}  // namespace

void keep_unfinished_entry() {
    if (!entry_open && finished_round_waiting) {
        // The end screen never came: the round is offered its entry here, as it would be there.
        finished_round_waiting = false;
        player_score = {{' ', ' ', ' '}, shown_score(player.score), 1};
        entry_open = player_score.score >= highscore[highscore_rows - 1].score;
        if (!entry_open) send_board_round(recorded_round, read_board_settings().initials.c_str());
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
    world_status.clear();
    if (view != table_view::local) {
        fetch_world(world_period::day);
        fetch_world(world_period::all);
    }
}

void end_screen_frame() {
    // Ties with the tenth row qualify.
    if (first_pass && may_offer_entry) {
        if (shown_score(player.score) >= highscore[highscore_rows - 1].score) {
            draw_backdrop(buffer);
            if (!run_name_entry()) return;
        } else {
            // No row, so no name typed: the board round goes under the last initials.
            send_board_round(recorded_round, read_board_settings().initials.c_str());
        }
    }
    first_pass = false;
    const int x = pointer_x(), y = pointer_y();
    table_still.start(buffer, text_key(data_notice) ^ uint64_t(got_highscore) ^ text_key(board_text().c_str()), y);
    draw_backdrop(buffer);
    draw_table(buffer);
    draw_button(buffer, quit, "Quit");
    draw_button(buffer, progress, "Return to", "Title");
    wipe_in_if_pending(buffer);
    draw_aimer_at(buffer, x, y);
    table_still.finish(buffer);
    quit.is_clicked();
    progress.is_clicked();
    if (game_state == state_end_of_game && !take_switch_press()) watch_clicked_row();
    if (game_state == state_end_of_game) play_world_replay();
    wait_ms(20);
}
