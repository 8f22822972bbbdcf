// The picture of a round, checked by pixel: field, pieces, player, trail, heads-up
// display, popups, the first frame's wipe and the cut-piece table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "play/cut_pieces.h"
#include "play/dash.h"
#include "play/hud.h"
#include "play/render.h"
#include "play_fixture.h"
#include "platform/assets.h"
#include "platform/fnv_hash.h"
#include "platform/surfaces.h"
#include "ui/screen_state.h"
#include "ui/wipe.h"
#include "support/headless.h"

using namespace play_testing;
using testing_support::pixel;
using testing_support::rgb;
using testing_support::set_mouse;
using testing_support::world;

namespace {

// Colours exist only once Allegro has started.
int grey() { return rgb(40, 40, 40); }
int white() { return rgb(255, 255, 255); }
int trail() { return rgb(64, 192, 255); }

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fresh_round();
        stand_player_at(320);
        set_mouse(320, 470, 0);  // keeps the cursor off the side panels
    }
};

// The side panels hold nothing but the two labels and two figures.
void expect_panels_show(const char* score, const char* time) {
    BITMAP* expected = create_bitmap(640, 480);
    clear_to_color(expected, 0);
    textout_ex(expected, font, "Score", 20, 30, white(), -1);
    textout_right_ex(expected, font, score, 60, 40, white(), -1);
    textout_ex(expected, font, "Time", 580, 30, white(), -1);
    textout_ex(expected, font, time, 570, 40, white(), -1);
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x : {0, 544})
            for (int i = 0; i < 96; ++i) wrong += pixel(frame, x + i, y) != pixel(expected, x + i, y);
    destroy_bitmap(expected);
    EXPECT_EQ(wrong, 0) << score << " / " << time;
}

// Every pixel of the text as drawn alone is white in the frame.
void expect_text_at(const char* text, int centre_x, int y) {
    BITMAP* alone = create_bitmap(640, 480);
    clear_to_color(alone, 0);
    textout_centre_ex(alone, font, text, centre_x, y, white(), -1);
    int lit = 0, missing = 0;
    for (int py = y; py < y + 8; ++py)
        for (int px = 0; px < 640; ++px)
            if (pixel(alone, px, py) == white()) {
                ++lit;
                missing += pixel(frame, px, py) != white();
            }
    destroy_bitmap(alone);
    EXPECT_GT(lit, 0);
    EXPECT_EQ(missing, 0) << text;
}

TEST_F(RenderTest, PanelsShowScoreTimesTenAndMinutesSecondsFramesLeft) {
    draw_round();
    expect_panels_show("0", "2'30.39");
    player.score = 123;
    time_left = 65;
    play_time[0] = 12;
    draw_round();
    expect_panels_show("1230", "1'5.27");
    time_left = -1;
    play_time[0] = 0;
    draw_round();
    expect_panels_show("1230", "0'-1.39");
}

TEST_F(RenderTest, ActivePopupsShowTheirTextsAndEndedOnesNothing) {
    got_combo[2] = {300, 100, 5};
    got_combo[4] = {200, 140, 0};
    lost_time = {200, 300, 1};
    time_bonus = 9;
    time_popup = {320, 60, 10};
    power_factor = 3;
    power_popup = {320, 60, 10};
    draw_round();
    expect_text_at("3 hit", 300, 100);
    expect_text_at("-5 sec", 200, 300);
    expect_text_at("+9 sec", 320, 60);
    expect_text_at("score X 3", 320, 60);
    for (int y = 140; y < 148; ++y)
        for (int x = 170; x < 230; ++x) ASSERT_EQ(pixel(frame, x, y), grey()) << x << "," << y;
}

TEST_F(RenderTest, HorizontalCutLeavesRow31AsASeamAndSplitsSideways) {
    block_record& b = place_block(5, 400, 100, 1);
    b.active = false;
    b.cut = true;
    b.cut_dir = 0;
    b.split_x = 1;
    draw_round();
    const int colour = block_colour(1);
    EXPECT_EQ(pixel(frame, 400, 68 + 30), colour);
    EXPECT_EQ(pixel(frame, 400, 68 + 31), grey());
    EXPECT_EQ(pixel(frame, 400, 68 + 32), colour);
    EXPECT_EQ(pixel(frame, 368, 80), grey()) << "top piece moved right";
    EXPECT_EQ(pixel(frame, 369, 80), colour);
    EXPECT_EQ(pixel(frame, 367, 120), colour) << "bottom piece moved left";
    EXPECT_EQ(pixel(frame, 431, 120), grey());
}

TEST_F(RenderTest, VerticalCutLeavesColumn31AsASeamAndSplitsUpAndDown) {
    block_record& b = place_block(5, 400, 100, 2);
    b.active = false;
    b.cut = true;
    b.cut_dir = 1;
    b.split_y = 1;
    draw_round();
    const int colour = block_colour(2);
    EXPECT_EQ(pixel(frame, 368 + 30, 100), colour);
    EXPECT_EQ(pixel(frame, 368 + 31, 100), grey());
    EXPECT_EQ(pixel(frame, 368 + 32, 100), colour);
    EXPECT_EQ(pixel(frame, 380, 68), grey()) << "left piece moved down";
    EXPECT_EQ(pixel(frame, 380, 132), colour);
    EXPECT_EQ(pixel(frame, 420, 67), colour) << "right piece moved up";
    EXPECT_EQ(pixel(frame, 420, 131), grey());
}

TEST_F(RenderTest, ActiveBlockIsWholeAndBlocksAboveThePictureAreClipped) {
    block_record& b = place_block(0, 224, 150, 0);
    b.cut = true;  // never both between steps, but an active block is drawn whole
    b.cut_dir = 0;
    b.split_x = 10;
    place_block(1, 480, -32, 2);
    draw_round();
    EXPECT_EQ(pixel(frame, 224, 150 - 32 + 31), block_colour(0));
    EXPECT_EQ(pixel(frame, 260, 140), grey()) << "no pieces beside it";
    EXPECT_EQ(pixel(frame, 480, 0), grey());
}

TEST_F(RenderTest, PlayerFacesItsWayAndItsOuterHalfHidesAtTheSides) {
    show_pose(pose_standing);
    draw_round();
    EXPECT_EQ(pixel(frame, 320 - 20, 440), pose_colour(pose_standing, false));
    player.facing = 1;
    draw_round();
    EXPECT_EQ(pixel(frame, 320 - 20, 440), pose_colour(pose_standing, true));
    player.x = 96;
    draw_round();
    EXPECT_EQ(pixel(frame, 80, 440), 0);
    EXPECT_NE(pixel(frame, 100, 440), grey());
}

TEST_F(RenderTest, TrailRunsFromTheDashStartWhileTheWalkIsUnderWay) {
    click_at(500, 300);
    run_frames(2);
    ASSERT_FALSE(can_dash);
    EXPECT_EQ(pixel(frame, 320, 450), trail());
    run_frames(4);
    ASSERT_TRUE(can_dash);
    EXPECT_EQ(pixel(frame, 320, 450), grey());
}

TEST(FirstFrameTest, WipesInWithoutBandOrCursorThenShowsTheStageBanner) {
    fresh_round();
    screen_lock = true;
    set_mouse(200, 100, 0);
    int cursor_during_wipe = -1;
    world.on_wait = [&](int) {
        if (world.waits.size() == 214) cursor_during_wipe = pixel(fake_screen, 200, 90);
    };
    play_frame();
    EXPECT_EQ(std::count(world.waits.begin(), world.waits.begin() + 214, 1), 214);
    EXPECT_FALSE(screen_lock);
    EXPECT_EQ(pixel(frame, 200, 230), grey()) << "no band at stage 0";
    EXPECT_EQ(cursor_during_wipe, grey());
    EXPECT_EQ(pixel(frame, 200, 90), white()) << "cursor after the wipe";
    EXPECT_EQ(pixel(fake_screen, 390, 200), stage_digit_colour(1));
    world.on_wait = nullptr;
    play_frame();
    EXPECT_EQ(pixel(frame, 200, 230), background_colour(184 + 46));
    EXPECT_EQ(pixel(fake_screen, 390, 200), pixel(frame, 390, 200)) << "banner replaced";
}

TEST(CutPiecesTest, EachPairRebuildsTheBlockLessItsSeam) {
    fresh_round();
    BITMAP* canvas = create_bitmap(64, 64);
    const int magenta = rgb(255, 0, 255);
    for (int type = 0; type < 3; ++type) {
        for (int d = 0; d < 4; ++d) {
            clear_to_color(canvas, magenta);
            draw_sprite(canvas, cut_block[2 * d][type], 0, 0);
            draw_sprite(canvas, cut_block[2 * d + 1][type], 0, 0);
            int holes = 0, wrong = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) {
                    const int p = pixel(canvas, x, y);
                    holes += p == magenta;
                    wrong += p != magenta && p != block_colour(type);
                }
            EXPECT_EQ(wrong, 0);
            if (d < 2) EXPECT_EQ(holes, 64) << "one row or column, type " << type << " dir " << d;
            else EXPECT_LE(holes, 64) << "at most the diagonal, type " << type << " dir " << d;
        }
        EXPECT_EQ(pixel(cut_block[0][type], 10, 30), block_colour(type));
        EXPECT_EQ(pixel(cut_block[0][type], 10, 32), magenta);
        EXPECT_EQ(pixel(cut_block[3][type], 31, 10), magenta);
        EXPECT_EQ(pixel(cut_block[3][type], 32, 10), block_colour(type));
        EXPECT_EQ(pixel(cut_block[4][type], 5, 60), block_colour(type)) << "lower-left kept";
        EXPECT_EQ(pixel(cut_block[4][type], 60, 5), magenta);
        EXPECT_EQ(pixel(cut_block[6][type], 5, 5), block_colour(type)) << "upper-left kept";
        EXPECT_EQ(pixel(cut_block[6][type], 60, 60), magenta);
    }
    destroy_bitmap(canvas);
}

// A round frame draws and compares again only the rows its moving pictures cover now or
// covered in the last frame. A busy round (dashes, cuts and their popups, stage banners,
// the pause menu, a pointer that moves every frame) must show, frame after frame, exactly
// what drawing every row shows.
uint64_t picture_key(BITMAP* b) {
    uint64_t key = fnv1a_offset_basis;
    for (int y = 0; y < b->h; ++y) key = fnv1a(b->line[y], static_cast<size_t>(b->w) * sizeof(uint32_t), key);
    return key;
}

TEST(RenderBandTest, DrawingOnlyWhereThingsMoveShowsWhatDrawingEveryRowShows) {
    std::vector<uint64_t> shown[2];
    int stages = 0;
    for (int pass = 0; pass < 2; ++pass) {
        draw_whole_frame = pass == 0;
        fresh_round(5);
        unsigned seed = 9;
        auto pick = [&seed](int n) { return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 16) % n; };
        const int first_stage = stage;
        for (int i = 0; i < 700 && game_state == state_play; ++i) {
            int x = pick(640), y = pick(480), buttons = 0;
            if (i % 9 == 0) {  // at the block nearest the floor
                int lowest = -1;
                for (int s = 0; s < block_slots; ++s)
                    if (block[s].active && (lowest < 0 || block[s].y > block[lowest].y)) lowest = s;
                if (lowest >= 0) x = block[lowest].x, y = std::min(block[lowest].y + 30, 479);
                buttons = 1;
            }
            if (i == 350) {
                buttons = 2;  // the menu, closed by Continue a few passes later
                world.on_wait = [](int) {
                    if (paused && world.waits.back() == 20 && world.waits.size() > 3) set_mouse(320, 250, 1);
                };
            }
            if (i == 352) world.on_wait = nullptr;
            set_mouse(x, y, buttons);
            time_left = std::max(time_left, 100);
            play_frame();
            shown[pass].push_back(picture_key(fake_screen));
        }
        stages = stage - first_stage;
    }
    draw_whole_frame = false;
    EXPECT_GE(stages, 1) << "the round should reach a stage banner";
    ASSERT_EQ(shown[0].size(), shown[1].size());
    int differ = 0;
    for (size_t i = 0; i < shown[0].size(); ++i) differ += shown[0][i] != shown[1][i];
    EXPECT_EQ(differ, 0);

    // Nothing moves across a banner's rows, yet the frame after it shows no trace of it;
    // nor of the pause menu.
    fresh_round();
    stand_player_at(320);
    for (block_record& b : block) b = {};
    set_mouse(600, 20, 0);
    run_frames(2);
    draw_time_out_banner();
    play_frame();
    EXPECT_TRUE(testing_support::same_pixels(fake_screen, frame)) << "the banner stayed";
    set_mouse(600, 20, 2);
    world.on_wait = [](int) {
        if (paused && world.waits.back() == 20) set_mouse(320, 250, 1);
    };
    play_frame();
    world.on_wait = nullptr;
    set_mouse(600, 20, 0);
    play_frame();
    EXPECT_TRUE(testing_support::same_pixels(fake_screen, frame)) << "the pause menu stayed";
}

}  // namespace
