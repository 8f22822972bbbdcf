// The dash: wind-up, walk, hit box, cut direction, gravity and bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "play/dash.h"
#include "play/line_walk.h"
#include "ui/buttons.h"
#include "play_fixture.h"
#include "records/lifetime_stats.h"
#include "support/headless.h"

using namespace play_testing;
using testing_support::set_mouse;
using testing_support::world;

namespace {

int dash_sounds() { return static_cast<int>(std::count(world.sounds.begin(), world.sounds.end(), 0)); }

class DashTest : public ::testing::Test {
protected:
    void SetUp() override {
        fresh_round();
        stand_player_at(320);
    }
};

TEST_F(DashTest, WindsUpTwoFramesThenWalksAtMost72PointsAFrame) {
    click_at(500, 300);
    EXPECT_EQ(dash_delay, 1);
    EXPECT_TRUE(can_dash);
    EXPECT_EQ(player.facing, 0);
    EXPECT_EQ(dash_sounds(), 1);
    play_frame();
    EXPECT_EQ(player.x, 320) << "still winding up";
    EXPECT_EQ(dash_delay, 2);

    play_frame();
    EXPECT_FALSE(can_dash);
    EXPECT_EQ(dash_delay, 4);
    EXPECT_EQ(dash_num, 72);
    EXPECT_EQ(player.x, 391) << "the first point is where the player stands";
    play_frame();
    EXPECT_EQ(player.x, 462);
    play_frame();
    EXPECT_EQ(player.x, 500);
    EXPECT_EQ(player.y, 300);
    EXPECT_EQ(dash_num, 39);
    EXPECT_FALSE(can_dash) << "arrival is seen by the next frame's timing";
    play_frame();
    EXPECT_TRUE(can_dash);
    EXPECT_EQ(dash_delay, 4) << "hang time counts on from 4";
}

TEST_F(DashTest, DashAcrossTheFieldWalksSevenFrames) {
    stand_player_at(96);
    click_at(544, 100);
    play_frame();
    int walking_frames = 0;
    for (int i = 0; i < 20; ++i) {
        play_frame();
        if (can_dash) break;
        ++walking_frames;
    }
    EXPECT_EQ(walking_frames, 7);
    EXPECT_EQ(player.x, 544);
}

TEST_F(DashTest, ClickLeftOfThePlayerMirrorsItAndEqualXKeepsFacing) {
    click_at(100, 300);
    EXPECT_EQ(player.facing, 1);
    run_frames(20);
    stand_player_at(200);
    click_at(200, 100);
    EXPECT_EQ(player.facing, 1);
}

TEST_F(DashTest, ClickOnTheOwnCentreWalksNothingAndHangsAgain) {
    player.y = 300;  // falling
    dash_delay = 30;
    gravity = 9;
    click_at(320, 300);
    EXPECT_EQ(gravity, 0);
    dash_num = -1;
    run_frames(2);
    EXPECT_TRUE(can_dash) << "no walk for a target already reached";
    EXPECT_EQ(dash_num, -1);
    run_frames(10);  // dash_delay 14 by now: still hanging
    EXPECT_EQ(player.y, 300);
    EXPECT_EQ(gravity, 0);
    play_frame();
    EXPECT_EQ(gravity, 1);
}

TEST_F(DashTest, HeldButtonStartsOneDashAndAPressDuringTheWalkIsRemembered) {
    set_mouse(500, 300, 1);
    run_frames(30);
    EXPECT_EQ(dash_sounds(), 1) << "holding the button starts nothing more";
    stand_player_at(320);
    set_mouse(500, 200, 0);
    play_frame();
    set_mouse(500, 200, 1);
    play_frame();
    EXPECT_EQ(dash_sounds(), 2);
    set_mouse(500, 200, 0);
    run_frames(2);  // walking now
    ASSERT_FALSE(can_dash);
    set_mouse(200, 100, 1);  // pressed mid-walk: the latch is clear, so it waits its turn
    for (int i = 0; i < 10 && dash_sounds() < 3; ++i) play_frame();
    EXPECT_EQ(dash_sounds(), 3);
    EXPECT_EQ(player.target_x, 200);
    EXPECT_EQ(player.target_y, 100);
}

// A tap of 10 ms, down and up between two frames, still dashes, to where it went down; one
// made mid-walk and let go before the walk ends is not kept for later.
TEST_F(DashTest, ATapBetweenTwoFramesDashesToWhereItWentDown) {
    set_mouse(500, 300, 1);
    world.now += 10;
    set_mouse(450, 250, 0);
    play_frame();
    EXPECT_EQ(dash_sounds(), 1);
    EXPECT_EQ(player.target_x, 500);
    EXPECT_EQ(player.target_y, 300);
    run_frames(2);
    ASSERT_FALSE(can_dash);
    set_mouse(200, 100, 1);
    set_mouse(200, 100, 0);
    run_frames(10);
    EXPECT_EQ(dash_sounds(), 1);
}

TEST(RoundStartTest, ButtonHeldFromTheMenuStartsNoDashUntilReleased) {
    fresh_round();
    set_mouse(400, 300, 1);
    start_button_screen();  // as the screen loop enters the round with the button down
    run_frames(60);
    EXPECT_EQ(dash_sounds(), 0);
    EXPECT_EQ(player.y, 450) << "fell to the floor without input";
    EXPECT_EQ(player.x, 320);
    set_mouse(400, 300, 0);
    play_frame();
    set_mouse(400, 300, 1);
    play_frame();
    EXPECT_EQ(dash_sounds(), 1);
}

TEST(RoundStartTest, SecondRoundStartsCleanButKeepsPopupsAndSpawnCount) {
    fresh_round();
    EXPECT_EQ(world.music_starts, 1);
    player.score = 77;
    player.combo = 4;  // a dash the time-out cut short
    got_time = got_power = true;
    gravity = 12;
    blocks_cut = 250;
    cut_block_overflow = 3;
    play_time[1] = 40;
    stage = 3;
    place_block(8, 300, 300).cut = true;
    till_next = 17;
    got_combo[0] = {10, 20, 5};
    player.facing = 1;
    start_round_seeded(2);
    EXPECT_EQ(world.music_starts, 2);
    EXPECT_EQ(player.score, 0);
    EXPECT_EQ(player.x, 320);
    EXPECT_EQ(player.y, 200);
    EXPECT_EQ(player.combo, 0);
    EXPECT_FALSE(got_time || got_power);
    EXPECT_EQ(gravity, 0);
    EXPECT_EQ(time_left, 150);
    EXPECT_EQ(blocks_cut + cut_block_overflow + stage + play_time[1], 0);
    EXPECT_FALSE(block[8].active || block[8].cut);
    EXPECT_TRUE(mouseisdown);
    EXPECT_EQ(till_next, 17);
    EXPECT_EQ(got_combo[0].timer, 5);
    EXPECT_EQ(player.facing, 1);
    play_frame();
    EXPECT_EQ(player.score, 0) << "nothing of the last round is resolved into this one";
    EXPECT_EQ(stage, 1);
}

TEST(HitBoxTest, CentreMustBeStrictlyWithin40OnBothAxes) {
    fresh_round();
    player.x = 200;
    player.y = 200;
    place_block(3, 239, 161);
    EXPECT_EQ(is_hit(40), 3);
    place_block(3, 240, 200);
    EXPECT_EQ(is_hit(40), 20);
    place_block(3, 200, 160);
    EXPECT_EQ(is_hit(40), 20);
    place_block(3, 161, 239);
    place_block(7, 200, 200);
    EXPECT_EQ(is_hit(40), 3) << "the lowest slot wins";
    block[3].active = false;
    EXPECT_EQ(is_hit(40), 7);
    block[7].active = false;
    block[7].cut = true;
    EXPECT_EQ(is_hit(40), 20) << "pieces cannot be hit";
}

struct cut_case {
    int dx, dy, cut_dir;
};

class CutDirectionTest : public ::testing::TestWithParam<cut_case> {};

// dx and dy run from the target to the start, as the classification takes them.
TEST_P(CutDirectionTest, WholeDashDecidesTheClassAndStartsThePieces) {
    fresh_round();
    const cut_case c = GetParam();
    player.start_x = 300;
    player.start_y = 300;
    player.target_x = 300 - c.dx;
    player.target_y = 300 - c.dy;
    block_record& b = place_block(0, 0, 0);
    b.split_x = 7;
    b.split_y = -3;
    cut_object(0);
    EXPECT_EQ(b.cut_dir, c.cut_dir);
    EXPECT_TRUE(b.cut);
    EXPECT_EQ(b.split_x, 0);
    EXPECT_EQ(b.split_y, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, CutDirectionTest,
    ::testing::Values(cut_case{100, 0, 0}, cut_case{-100, 0, 0}, cut_case{0, 100, 1},
                      cut_case{0, -100, 1}, cut_case{100, 100, 2}, cut_case{-100, -100, 2},
                      cut_case{100, -100, 3}, cut_case{-100, 100, 3},
                      // just inside either side of the 1.5 ratio of the squares
                      cut_case{13, 10, 0}, cut_case{12, 10, 2}, cut_case{10, 13, 1},
                      cut_case{-10, 12, 3}));

// A dash exactly on a bound counts as diagonal, by the sign of the offsets.
INSTANTIATE_TEST_SUITE_P(
    ExactBounds, CutDirectionTest,
    ::testing::Values(cut_case{1, 1, 2}, cut_case{-1, 1, 3}, cut_case{9, 11, 2},
                      cut_case{-9, -11, 2}, cut_case{11, -9, 3}, cut_case{89, 109, 2},
                      cut_case{-89, 109, 3}, cut_case{109, 89, 2}, cut_case{109, -89, 3}));

TEST_F(DashTest, HitCountsPopsUpCutsAndSetsTheFlagsOfItsType) {
    place_block(5, 400, 440, 1);
    place_block(2, 460, 445, 2);
    click_at(500, 420);
    run_frames(3);
    EXPECT_EQ(player.combo, 2);
    EXPECT_TRUE(got_time);
    EXPECT_TRUE(got_power);
    EXPECT_FALSE(block[5].active);
    EXPECT_TRUE(block[5].cut);
    EXPECT_EQ(block[5].cut_dir, 0);
    EXPECT_EQ(got_combo[0].x, 400) << "the first hit is the block met first";
    EXPECT_EQ(got_combo[0].y, 440 - 25 - 2);
    EXPECT_EQ(got_combo[0].timer, 28);
    EXPECT_EQ(got_combo[1].x, 460);
    EXPECT_EQ(got_combo[1].y, 445 - 25 - 1) << "aged once in the frame of the hit";
    EXPECT_EQ(got_combo[1].timer, 29);
    EXPECT_EQ(std::count(world.sounds.begin(), world.sounds.end(), 4), 2);
}

TEST_F(DashTest, HitsAfterTheTenthCountInFullWithoutPopups) {
    for (int i = 0; i < 12; ++i) place_block(i, 320, 440 - 36 * i);
    for (popup& p : got_combo) p.timer = -7;
    click_at(320, 0);
    run_frames(10);
    EXPECT_EQ(player.score, 144);
    EXPECT_EQ(blocks_cut, 12);
    EXPECT_EQ(m_combo, 12);
    for (int k = 0; k < 10; ++k) EXPECT_GT(got_combo[k].timer, 0) << k;
}

TEST_F(DashTest, TargetBeyondASideOrTheFloorStopsOnTheBound) {
    click_at(20, 300);
    run_frames(7);
    EXPECT_EQ(player.x, 96);
    EXPECT_TRUE(can_dash);
    stand_player_at(300);
    click_at(300, 479);
    run_frames(2);
    EXPECT_EQ(player.y, 450);
    EXPECT_TRUE(can_dash) << "the floor ends the walk in the same frame";
}

TEST_F(DashTest, DashAlongTheFloorEndsAfterItsFirstWalkFrame) {
    click_at(500, 450);
    run_frames(2);
    EXPECT_EQ(player.x, 391);
    EXPECT_TRUE(can_dash);
    play_frame();
    EXPECT_EQ(player.x, 391);
}

TEST_F(DashTest, FallIsGravityThirdsAndEndsStandingOnTheFloor) {
    player.y = 100;
    dash_delay = 15;
    int y = player.y;
    std::vector<int> drops;
    for (int i = 0; i < 9; ++i) {
        play_frame();
        drops.push_back(player.y - y);
        y = player.y;
    }
    EXPECT_EQ(drops, (std::vector<int>{0, 0, 1, 1, 1, 2, 2, 2, 3}));
    run_frames(100);
    EXPECT_EQ(player.y, 450);
    EXPECT_EQ(gravity, 0);
}

using walk = std::vector<std::pair<int, int>>;

void note_point(int x, int y, void* points) { static_cast<walk*>(points)->push_back({x, y}); }
walk* allegro_points = nullptr;
void note_allegro_point(BITMAP*, int x, int y, int) { allegro_points->push_back({x, y}); }

// A dash's hits rest on the points Allegro's do_line visited: every direction, the
// diagonals, the ties and lines of no length, from a middle point and from a field corner.
TEST(LineWalkTest, VisitsThePointsDoLineVisits) {
    for (const auto& from : {std::pair<int, int>{320, 200}, std::pair<int, int>{96, 450}}) {
        for (int x = from.first - 90; x <= from.first + 90; x += 1) {
            for (int y = from.second - 90; y <= from.second + 90; y += 3) {
                walk ours, allegros;
                walk_line(from.first, from.second, x, y, note_point, &ours);
                allegro_points = &allegros;
                do_line(nullptr, from.first, from.second, x, y, 0, note_allegro_point);
                ASSERT_EQ(ours, allegros) << "to " << x << "," << y;
            }
        }
    }
}

}  // namespace
