// Placeholder records until the real ones land.
#include "records/end_screen.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"
#include "shell/clicky.h"
#include "shell/host.h"
#include "shell/screen_loop.h"
#include "shell/surfaces.h"

record highscore[highscore_rows] = {};
record player_score = {};
int got_highscore = 10;
int32_t t_blocks_cut = 0, t_games = 0, m_combo = 0, m_score = 0, t_play_time[3] = {};
const char* const highscore_path = "KZ DATA//highscore.dat";
const char* const stats_path = "KZ DATA//stats.dat";

int add_highscore(record) { return 10; }
void load_highscore(const char*) {}
void save_highscore(const char*) {}
void update_long_timer(int32_t*, int32_t*, int32_t*) {}
void add_finished_round() {}
void load_stats(const char*) {}
void save_stats(const char*) {}

void enter_end_screen() {
    quit.edit_button(320, 450, 96, 32, state_leave);
    progress.edit_button(320, 400, 96, 32, state_title);
}

void end_screen_frame() {
    rectfill(buffer, 0, 0, screen_w, screen_h, makecol(40, 40, 40));
    draw_button(buffer, quit, "Quit");
    draw_button(buffer, progress, "Return to", "Title");
    wipe_in_if_pending(buffer);
    draw_aimer(buffer);
    hand_over(buffer);
    quit.is_clicked();
    progress.is_clicked();
    wait_ms(20);
}
