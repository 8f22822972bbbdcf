// Closing the window while the round is paused ends the program: the menu gives way and
// the screen loop leaves. Its own binary, since the leave request cannot be taken back.
#include <gtest/gtest.h>

#include "play_fixture.h"
#include "app/screen_loop.h"
#include "support/headless.h"

using namespace play_testing;
using testing_support::world;

TEST(PauseLeaveTest, LeaveRequestEndsThePauseMenuAndTheScreenLoop) {
    fresh_round();
    const_cast<char*>(key)[KEY_ESC] = 1;
    int passes = 0;
    world.on_wait = [&](int) {
        if (paused && world.waits.back() == 20 && ++passes == 5) request_leave();
    };
    game_state = state_play;
    run_screen_loop();
    EXPECT_EQ(passes, 5);
    EXPECT_EQ(game_state, state_leave);
    EXPECT_EQ(world.music_starts, 2) << "fresh_round's and the loop's own round";
    EXPECT_GE(world.music_stops, 1);
}
