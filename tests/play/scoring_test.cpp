// Combo resolution, popup ageing, the time-out, the play clock and frame pacing.
#include <gtest/gtest.h>

#include <algorithm>

#include "play/pacing.h"
#include "play/scoring.h"
#include "play_fixture.h"
#include "records/lifetime_stats.h"
#include "app/screen_loop.h"
#include "platform/host.h"
#include "platform/surfaces.h"
#include "support/headless.h"

using namespace play_testing;
using testing_support::pixel;
using testing_support::world;

namespace {

struct combo_case {
    int n;
    bool power, time;
    int score, seconds;
};

class ComboTest : public ::testing::TestWithParam<combo_case> {};

TEST_P(ComboTest, ScoresSquareOrCubeAndGrantsSquareSeconds) {
    const combo_case c = GetParam();
    fresh_round();
    player.score = 100;
    blocks_cut = 10;
    m_combo = 2;
    time_popup = power_popup = {0, 0, -3};
    player.combo = c.n;
    got_power = c.power;
    got_time = c.time;
    resolve_combo();
    EXPECT_EQ(player.score, 100 + c.score);
    EXPECT_EQ(time_left, 150 + c.seconds);
    EXPECT_EQ(blocks_cut, 10 + c.n);
    EXPECT_EQ(m_combo, std::max(2, c.n));
    EXPECT_EQ(player.combo, 0);
    EXPECT_FALSE(got_power);
    EXPECT_FALSE(got_time);
    EXPECT_EQ(count_of(world.sounds, 2), int(c.power) + int(c.time));
    if (c.power) {
        EXPECT_EQ(power_factor, c.n);
        EXPECT_EQ(power_popup.x, 320);
        EXPECT_EQ(power_popup.y, 60);
        EXPECT_EQ(power_popup.timer, 50);
    } else {
        EXPECT_EQ(power_popup.timer, -3);
    }
    if (c.time) {
        EXPECT_EQ(time_bonus, c.n * c.n);
        EXPECT_EQ(time_popup.y, 60);
        EXPECT_EQ(time_popup.timer, 50);
    } else {
        EXPECT_EQ(time_popup.timer, -3);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComboTest,
    ::testing::Values(combo_case{0, false, false, 0, 0}, combo_case{1, false, false, 1, 0},
                      combo_case{1, true, false, 1, 0}, combo_case{2, false, false, 4, 0},
                      combo_case{2, true, false, 8, 0}, combo_case{3, false, false, 9, 0},
                      combo_case{3, true, false, 27, 0}, combo_case{3, false, true, 9, 9},
                      combo_case{3, true, true, 27, 9}, combo_case{5, true, false, 125, 0},
                      combo_case{5, false, true, 25, 25}));

TEST(ComboTest, WaitsWhileTheWalkIsUnderWay) {
    fresh_round();
    can_dash = false;
    player.combo = 3;
    got_power = true;
    resolve_combo();
    EXPECT_EQ(player.score, 0);
    EXPECT_EQ(player.combo, 3);
    EXPECT_TRUE(got_power);
}

TEST(ComboTest, DashThroughATimeAndAPowerBlockShowsBothPopups) {
    fresh_round();
    stand_player_at(320);
    place_block(0, 320, 420, 1);
    place_block(1, 320, 370, 2);
    place_block(2, 320, 320, 2);
    click_at(320, 200);
    run_frames(6);
    EXPECT_EQ(player.score, 27) << "two power blocks count once";
    EXPECT_EQ(time_left, 159);
    EXPECT_EQ(time_bonus, 9);
    EXPECT_EQ(power_factor, 3);
    EXPECT_GT(time_popup.timer, 0);
    EXPECT_GT(power_popup.timer, 0);
}

TEST(PopupTest, HitAndBonusPopupsRiseThePenaltySinksAndAllAgeEveryFrame) {
    fresh_round();
    for (popup& p : got_combo) p = {100, 200, 5};
    lost_time = {100, 200, 0};
    time_popup = {320, 60, 50};
    power_popup = {320, 60, -4};
    age_popups();
    for (const popup& p : got_combo) {
        EXPECT_EQ(p.y, 199);
        EXPECT_EQ(p.timer, 4);
    }
    EXPECT_EQ(lost_time.y, 201);
    EXPECT_EQ(lost_time.timer, -1);
    EXPECT_EQ(time_popup.y, 59);
    EXPECT_EQ(time_popup.timer, 49);
    EXPECT_EQ(power_popup.y, 59);
    EXPECT_EQ(power_popup.timer, -5);
}

class TimeOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        fresh_round();
        stand_player_at(320);
        time_left = 0;
        play_time[0] = 38;
        // The banner is on the presented picture while the round waits.
        world.on_wait = [this](int) {
            if (world.waits.back() == 2000) banner_pixel = pixel(fake_screen, 80 + 240, 120 + 48);
        };
    }
    int banner_pixel = -1;
};

TEST_F(TimeOutTest, EndsOneFrameAfterTheClockReachesMinusOne) {
    play_frame();
    EXPECT_EQ(time_left, -1);
    EXPECT_EQ(game_state, state_play);
    const int clock_before = play_time[0];
    play_frame();
    EXPECT_EQ(game_state, state_end_of_game);
    EXPECT_EQ(banner_pixel, time_out_banner_colour());
    EXPECT_EQ(count_of(world.waits, 2000), 1);
    EXPECT_EQ(count_of(world.sounds, 3), 1);
    EXPECT_EQ(play_time[0], clock_before + 1) << "the rest of the frame still runs";
    EXPECT_NE(pixel(fake_screen, 80 + 240, 120 + 48), time_out_banner_colour())
        << "the last hand-over replaces the banner";
}

TEST_F(TimeOutTest, TimeBonusResolvedInThatFrameRescuesTheRound) {
    play_frame();
    player.combo = 1;
    got_time = true;
    play_frame();
    EXPECT_EQ(time_left, 0);
    EXPECT_EQ(game_state, state_play);
    EXPECT_EQ(count_of(world.waits, 2000), 0);
}

TEST_F(TimeOutTest, FloorPenaltyBelowFiveSecondsEndsTheRoundInTheSameFrame) {
    time_left = 4;
    play_time[0] = 0;
    place_block(0, 192, 448, 0, 2);
    play_frame();
    EXPECT_EQ(game_state, state_end_of_game);
    EXPECT_EQ(time_left, -1);
}

TEST(PlayClockTest, ThirtyNineFramesAGameSecondSixtySecondsAMinute) {
    fresh_round();
    for (int i = 0; i < 38; ++i) tick_play_clock();
    EXPECT_EQ(time_left, 150);
    EXPECT_EQ(play_time[0], 38);
    tick_play_clock();
    EXPECT_EQ(time_left, 149);
    EXPECT_EQ(play_time[0], 0);
    EXPECT_EQ(play_time[1], 1);
    for (int i = 0; i < 59 * 39; ++i) tick_play_clock();
    EXPECT_EQ(play_time[1], 0);
    EXPECT_EQ(play_time[2], 1);
    EXPECT_EQ(time_left, 90);
}

TEST(PlayClockTest, StageHoldCountsAsOneFrame) {
    fresh_round();
    play_frame();  // the stage-1 advance holds 1500 ms
    EXPECT_GE(world.now, 1500);
    EXPECT_EQ(play_time[0], 1);
    EXPECT_EQ(time_left, 150);
}

TEST(PacingTest, FrameLastsTwentyMillisecondsAndALongFrameIsNotMadeUp) {
    fresh_round();
    world.now = 1000;
    start_frame();
    world.now += 5;  // 5 ms of work
    wait_for_frame_end();
    EXPECT_EQ(world.now, 1020);
    EXPECT_EQ(world.waits, std::vector<int>{15});

    world.waits.clear();
    start_frame();
    world.on_wait = [](int) {
        if (world.waits.size() == 1) world.now -= 3;  // a sleep that ends early
    };
    wait_for_frame_end();
    world.on_wait = nullptr;
    EXPECT_EQ(world.now, 1040);
    EXPECT_EQ(world.waits, (std::vector<int>{20, 3}));

    // 25 ms of work: the frame ends at once, and the next is not shortened.
    world.waits.clear();
    start_frame();
    world.now += 25;
    wait_for_frame_end();
    EXPECT_EQ(world.now, 1065);
    EXPECT_TRUE(world.waits.empty());
    start_frame();
    world.now += 5;
    wait_for_frame_end();
    EXPECT_EQ(world.now, 1085);

    stand_player_at(320);
    const int start = world.now;
    play_frame();
    EXPECT_EQ(world.now, start + 20);
}

TEST(PacingTest, ThirtyNineFramesMakeAGameSecondOf780Milliseconds) {
    fresh_round();
    stand_player_at(320);
    play_frame();  // the wipe and the stage-1 banner
    const int start = world.now, seconds = time_left;
    for (int i = 0; i < 39; ++i) play_frame();
    EXPECT_EQ(world.now - start, 780);
    EXPECT_EQ(time_left, seconds - 1);
}

// A real sleep wakes a little after its deadline: that delay must not add to every frame,
// yet a wake-up late enough to mean a busy machine is not made up either.
long long clock_us = 0;
long long late_by_us = 0;
long long read_clock() { return clock_us; }
void sleep_late(long long when) { clock_us = std::max(clock_us, when + late_by_us); }

TEST(PacingTest, FramesEndOnTheirDeadlineWhateverTheWakeUpsDelay) {
    fresh_round();
    const host_seam kept = host;
    host.now_us = read_clock;
    host.wait_until_us = sleep_late;
    clock_us = 5000000;
    late_by_us = 300;
    std::vector<long long> starts;
    for (int i = 0; i < 50; ++i) {
        start_frame();
        starts.push_back(loop_start);
        clock_us += 2000;  // the frame's work
        wait_for_frame_end();
    }
    EXPECT_EQ(starts.back() - starts.front(), 49 * 20000LL) << "50 frames, one second, not 1.015 s";
    EXPECT_EQ(clock_us, starts.back() + 20000 + 300);

    // Woken 3 ms late: the next frame starts then, and is not shortened to catch up.
    late_by_us = 3000;
    start_frame();
    wait_for_frame_end();
    const long long woken = clock_us;
    start_frame();
    EXPECT_EQ(loop_start, woken);
    host = kept;
}

}  // namespace
