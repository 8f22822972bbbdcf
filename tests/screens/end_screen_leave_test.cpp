// Leaving during the name entry (a signal, the window's close button) keeps the score
// under the letters typed so far.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "support/file_bytes.h"

#include "key_script.h"
#include "play/round.h"
#include "screens/end_screen.h"
#include "records/highscore_file.h"
#include "records/highscore_table.h"
#include "records/lifetime_stats.h"
#include "app/screen_loop.h"
#include "platform/surfaces.h"
#include "fixture/stand_in_art.h"
#include "play/round_state.h"
#include "play/round_tape.h"
#include "records/replay_store.h"
#include "support/headless.h"

namespace {

TEST(EndScreenLeave, ALeaveRequestKeepsTheUnfinishedEntry) {
    testing_support::reset_headless();
    stand_ins::make_stand_in_art();
    ASSERT_EQ(chdir(testing_support::scratch_dir("end_leave").c_str()), 0);
    for (auto& row : highscore) row = {};
    player.score = 70;
    add_finished_round(finished_round_figures());
    game_state = state_end_of_game;
    key_script::play(key_script::tap(KEY_A, 0), [](int now) {
        if (now == 300) request_leave();
    });
    run_screen_loop();

    EXPECT_EQ(game_state, state_leave);
    EXPECT_EQ(std::string(highscore[0].name, 3), "A--");
    EXPECT_EQ(highscore[0].score, 700);
    EXPECT_EQ(player.score, 0);
    EXPECT_EQ(file_bytes::read(highscore_path).substr(0, 12), "A - - 700 1 ");
    EXPECT_LE(testing_support::world.now, 400);

    // Read back as it was written, and not entered twice.
    keep_unfinished_entry();
    for (auto& row : highscore) row = {};
    load_highscore(highscore_path);
    EXPECT_EQ(std::string(highscore[0].name, 3), "A--");
    EXPECT_EQ(highscore[1].score, 0);
}

// From the frame the clock runs out the round counts: a leave during the time-up banner
// keeps its row (with its replay) under "---" and its figures, once.
TEST(EndScreenLeave, ALeaveDuringTheTimeUpBannerKeepsTheFinishedRound) {
    testing_support::reset_headless();
    ASSERT_EQ(chdir(testing_support::scratch_dir("end_leave_banner").c_str()), 0);
    ASSERT_EQ(mkdir("KZ DATA", 0755), 0);
    stand_ins::reset_to_round(5);
    for (auto& row : highscore) row = {};
    load_stats(stats_path);
    const int32_t games_before = t_games;
    player.score = 90;
    time_left = 0;
    bool left_in_banner = false;
    testing_support::world.on_wait = [&](int) {
        if (testing_support::world.waits.back() != 2000) return;
        request_leave();
        left_in_banner = true;
    };
    while (!left_in_banner) play_frame();
    testing_support::world.on_wait = nullptr;
    keep_unfinished_entry();  // as shut-down does, the screen loop having ended

    EXPECT_EQ(std::string(highscore[0].name, 3), "---");
    EXPECT_EQ(highscore[0].score, 900);
    EXPECT_EQ(t_games, games_before + 1);
    EXPECT_EQ(file_bytes::read(stats_path).substr(0, 4), "0 " + std::to_string(games_before + 1) + " ")
        << "counted on disk, before the banner ended";
    EXPECT_EQ(file_bytes::read(highscore_path).substr(0, 10), "- - - 900 ");
    ASSERT_FALSE(row_replay[0].empty());
    static replay kept;
    ASSERT_EQ(read_replay_file(row_replay[0].c_str(), kept), replay_status::read);
    EXPECT_EQ(std::string(kept.name, 3), "---");
    keep_unfinished_entry();
    EXPECT_EQ(highscore[1].score, 0) << "entered once";
}

}  // namespace
