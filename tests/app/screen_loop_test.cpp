// The screen-state loop's order: each set-up once before its first frame, a wipe pending
// for every screen, the music stopped in every pass.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/screen_loop.h"
#include "platform/surfaces.h"
#include "ui/wipe.h"
#include "support/headless.h"

using namespace testing_support;

namespace {

std::vector<std::string> events;
// What each screen's frame does, frame by frame: the state it writes, or -1 for none.
std::map<int, std::vector<int>> script;
std::map<int, int> frames_run;

void record_enter(int s) { events.push_back("enter " + std::to_string(s) + (screen_lock ? " wipe" : "")); }

void run_frame(int s) {
    const int n = frames_run[s]++;
    events.push_back("frame " + std::to_string(s));
    screen_lock = false;  // as a real first frame does
    const std::vector<int>& steps = script[s];
    ASSERT_LT(n, static_cast<int>(steps.size())) << "screen " << s << " ran past its script";
    if (steps[n] >= 0) game_state = steps[n];
}

template <int S>
screen_steps recorder() {
    return {[] { record_enter(S); }, [] { run_frame(S); }};
}

class screen_loop : public ::testing::Test {
protected:
    void SetUp() override {
        reset_headless();
        saved = {screens[0], screens[1], screens[2], screens[3]};
        screens[0] = recorder<0>();
        screens[1] = recorder<1>();
        screens[2] = recorder<2>();
        screens[3] = recorder<3>();
        events.clear();
        script.clear();
        frames_run.clear();
        world.music_stops = 0;
        game_state = state_title;
        screen_lock = false;
    }
    void TearDown() override {
        for (int i = 0; i < 4; ++i) screens[i] = saved[i];
    }
    std::vector<screen_steps> saved;
};

}  // namespace

TEST_F(screen_loop, title_to_credits_and_back_then_quit) {
    script[1] = {-1, state_credits, -1, state_leave};
    script[0] = {-1, -1, state_title};
    run_screen_loop();
    const std::vector<std::string> expected = {
        "enter 1 wipe", "frame 1", "frame 1",
        "enter 0 wipe", "frame 0", "frame 0", "frame 0",
        "enter 1 wipe", "frame 1", "frame 1",
    };
    EXPECT_EQ(events, expected);
    EXPECT_EQ(world.music_stops, 2) << "one stop per pass of the loop";
}

// A move to a higher state continues in the same pass, a move to a lower one goes round.
TEST_F(screen_loop, every_screen_is_entered_once_per_visit_with_a_wipe_pending) {
    script[1] = {state_play, state_end_of_game, state_leave};
    script[2] = {-1, state_end_of_game, state_title};
    script[3] = {state_title, state_play};
    run_screen_loop();
    const std::vector<std::string> expected = {
        "enter 1 wipe", "frame 1",                 // pass 1
        "enter 2 wipe", "frame 2", "frame 2",
        "enter 3 wipe", "frame 3",
        "enter 1 wipe", "frame 1",                 // pass 2
        "enter 3 wipe", "frame 3",
        "enter 2 wipe", "frame 2",                 // pass 3
        "enter 1 wipe", "frame 1",                 // pass 4
    };
    EXPECT_EQ(events, expected);
    EXPECT_EQ(world.music_stops, 4);
}

TEST_F(screen_loop, music_stops_after_every_round_whichever_way_it_ends) {
    script[1] = {state_play, state_play, state_leave};
    script[2] = {state_title, state_end_of_game};
    script[3] = {state_title};
    run_screen_loop();
    EXPECT_EQ(frames_run[2], 2);
    EXPECT_EQ(world.music_stops, 3);
}
