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

}  // namespace
