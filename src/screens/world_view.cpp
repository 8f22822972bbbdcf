#include "screens/world_view.h"

#include <algorithm>

#include "play/round_replay.h"
#include "records/highscore_table.h"
#include "records/replay_file.h"
#include "screens/replay_screen.h"
#include "screens/table_screen.h"
#include "ui/buttons.h"
#include "world/board_link.h"
#include "world/board_round.h"
#include "world/watch_link.h"
#include "world/world_table.h"

namespace {

enum class table_view { local, today, all_time };
table_view view = table_view::local;
std::string world_status;  // a replay being fetched, or why it cannot be played

constexpr int switch_left = 480, switch_right = 600, switch_top = 130;
const char* const view_names[] = {"LOCAL", "TODAY", "ALL TIME"};

int white() { return makecol(255, 255, 255); }
int yellow() { return makecol(255, 255, 0); }

const world_table& table_in_view() {
    return world_best(view == table_view::today ? world_period::day : world_period::all);
}

const world_table* shown_world() {
    if (view == table_view::local) return nullptr;
    const world_table& t = table_in_view();
    // Rows seen before stay while a fetch fails; a board never answered leaves the local table.
    return t.answered ? &t : nullptr;
}

// Up to three lines of 20 characters, broken at spaces, below the switch.
void draw_wrapped(BITMAP* dest, const std::string& text, int top, int colour) {
    constexpr size_t width = 20;
    size_t at = 0;
    for (int line = 0; line < 3 && at < text.size(); ++line) {
        size_t end = std::min(text.size(), at + width);
        if (end < text.size()) {
            const size_t space = text.rfind(' ', end);
            if (space != std::string::npos && space > at) end = space;
        }
        textout_ex(dest, font, text.substr(at, end - at).c_str(), switch_left, top + 12 * line, colour, -1);
        at = end;
        while (at < text.size() && text[at] == ' ') ++at;
    }
}

void draw_switch(BITMAP* dest) {
    textout_ex(dest, font, "WORLD TABLE", switch_left, switch_top - 16, makecol(160, 160, 160), -1);
    for (int i = 0; i < 3; ++i)
        textout_ex(dest, font, view_names[i], switch_left + 8, switch_top + 14 * i,
                   static_cast<int>(view) == i ? yellow() : white(), -1);
    if (view == table_view::local && world_status.empty()) return;
    const world_table& t = table_in_view();
    std::string status;
    int colour = white();
    if (!world_status.empty()) {
        draw_wrapped(dest, world_status, switch_top + 48, colour);
        return;
    } else if (t.unreachable) {
        // Why, in words; the rows seen before stay beside it.
        status = "cannot be reached:";
        colour = makecol(255, 96, 96);
        draw_wrapped(dest, t.why, switch_top + 60, colour);
    } else if (!t.answered) {
        status = "fetching...";
    } else {
        status = "fetched " + t.fetched_at;
    }
    textout_ex(dest, font, status.c_str(), switch_left, switch_top + 48, colour, -1);
}

void draw_world_rows(BITMAP* dest, const world_table& t) {
    const std::string own_id = board_round_id();
    for (size_t i = 0; i < t.rows.size() && i < highscore_rows; ++i) {
        const world_row& row = t.rows[i];
        const bool own = !own_id.empty() && row.replay.size() >= own_id.size() &&
                         row.replay.compare(row.replay.size() - own_id.size(), own_id.size(), own_id) == 0;
        const int colour = own ? yellow() : white();
        const int y = table_row_top(static_cast<int>(i));
        textprintf_right_ex(dest, font, 242, y, colour, -1, "%i.", row.rank);
        print_table_name(dest, 250, y, colour, (row.name + "   ").c_str());
        textprintf_right_ex(dest, font, 380, y, colour, -1, "%i", row.score);
        if (!row.replay.empty()) draw_play_mark(dest, y, colour);
    }
}

}  // namespace

void enter_world_view() {
    world_status.clear();
    if (view == table_view::local) return;
    fetch_world(world_period::day);
    fetch_world(world_period::all);
}

std::string round_link_at(int x, int y) {
    if (!board_on()) return "";
    const int row = table_row_at(x, y);
    const world_table* t = shown_world();
    if (t && row < static_cast<int>(t->rows.size()) && !t->rows[static_cast<size_t>(row)].watch.empty())
        return board_address() + t->rows[static_cast<size_t>(row)].watch;
    return watch_link(board_address(), board_round_id());
}

bool world_rows_shown() { return board_on() && shown_world() != nullptr; }

void draw_world_view(BITMAP* dest) {
    if (!board_on()) return;
    draw_switch(dest);
    if (const world_table* t = shown_world()) draw_world_rows(dest, *t);
}

std::string world_view_text() {
    if (!board_on()) return "";
    std::string text = std::to_string(static_cast<int>(view)) + world_status;
    for (const world_table* t : {&world_best(world_period::day), &world_best(world_period::all)}) {
        text += t->fetched_at + (t->unreachable ? "!" + t->why : "") + (t->answered ? "+" : "");
        for (const world_row& row : t->rows)
            text += std::to_string(row.rank) + row.name + std::to_string(row.score) + row.replay;
    }
    return text;
}

// A press on the switch's words shows that view, and asks the board for it afresh; it
// goes through the press latch as a button's does.
bool take_world_switch_press() {
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

bool watch_world_row(int row) {
    const world_table* t = board_on() ? shown_world() : nullptr;
    if (!t || row >= static_cast<int>(t->rows.size()) || t->rows[static_cast<size_t>(row)].replay.empty())
        return false;
    world_status = "fetching the replay...";
    download_world_replay(t->rows[static_cast<size_t>(row)].replay);
    return true;
}

void follow_world_replay() {
    if (world_replay_fetching() && (key[KEY_ESC] || (mouse_b & 2))) {
        cancel_world_replay();  // stopped before it began, as Esc stops one playing
        world_status.clear();
        return;
    }
    std::string path, why;
    if (!world_replay_ready(&path, &why)) return;
    world_status = why;
    if (path.empty()) return;
    static replay watched;
    if (read_replay_file(path.c_str(), watched) != replay_status::read) {
        world_status = "That replay cannot be played.";
        return;
    }
    world_status.clear();
    watch_replay(watched);
}
