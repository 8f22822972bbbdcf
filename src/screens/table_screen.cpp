#include "screens/table_screen.h"

#include "play/round_replay.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/replay_store.h"
#include "screens/replay_screen.h"
#include "ui/buttons.h"

int table_row_top(int row) { return 130 + 20 * row; }

int table_row_at(int x, int y) {
    if (x < table_left || x > table_right) return highscore_rows;
    for (int i = 0; i < highscore_rows; ++i)
        if (y >= table_row_top(i) - 5 && y < table_row_top(i) + 15) return i;
    return highscore_rows;
}

void print_table_name(BITMAP* dest, int x, int y, int colour, const char* name) {
    textprintf_ex(dest, font, x, y, colour, -1, "%c%c%c", static_cast<unsigned char>(name[0]),
                  static_cast<unsigned char>(name[1]), static_cast<unsigned char>(name[2]));
}

void draw_play_mark(BITMAP* dest, int y, int colour) { triangle(dest, 388, y, 388, y + 6, 394, y + 3, colour); }

void draw_local_table(BITMAP* dest, int new_row) {
    for (int i = 0; i < highscore_rows; ++i) {
        const int colour = i == new_row ? makecol(255, 255, 0) : makecol(255, 255, 255);
        const int y = table_row_top(i);
        print_table_name(dest, 250, y, colour, highscore[i].name);
        textprintf_right_ex(dest, font, 380, y, colour, -1, "%i", highscore[i].score);
        if (!row_replay[i].empty()) draw_play_mark(dest, y, colour);
    }
}

void watch_local_row(int row) {
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
