// Closing the window during the name entry ends the program without inserting anything.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "key_script.h"
#include "play/round.h"
#include "screens/end_screen.h"
#include "records/highscore_table.h"
#include "records/lifetime_stats.h"
#include "app/screen_loop.h"
#include "platform/surfaces.h"
#include "fixture/stand_in_art.h"
#include "support/headless.h"

namespace {

TEST(EndScreenLeave, ALeaveRequestEndsTheNameEntryWithoutAnEntry) {
    testing_support::reset_headless();
    stand_ins::make_stand_in_art();
    ASSERT_EQ(chdir(testing_support::scratch_dir("end_leave").c_str()), 0);
    for (auto& row : highscore) row = {};
    const record before[highscore_rows] = {};
    player.score = 70;
    add_finished_round(finished_round_figures());
    game_state = state_end_of_game;
    key_script::play(key_script::tap(KEY_A, 0), [](int now) {
        if (now == 300) request_leave();
    });
    run_screen_loop();

    EXPECT_EQ(game_state, state_leave);
    EXPECT_EQ(std::memcmp(highscore, before, sizeof before), 0);
    EXPECT_EQ(player.score, 70);
    struct stat info;
    EXPECT_NE(stat("KZ DATA", &info), 0);  // nothing saved
    EXPECT_LE(testing_support::world.now, 400);
}

}  // namespace
