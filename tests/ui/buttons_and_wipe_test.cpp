// Button hit areas, the column wipe and the aim cursor.
#include <gtest/gtest.h>

#include "platform/assets.h"
#include "ui/buttons.h"
#include "app/screen_loop.h"
#include "ui/wipe.h"
#include "support/headless.h"

using namespace testing_support;

class buttons : public ::testing::Test {
protected:
    void SetUp() override {
        reset_headless();
        game_state = state_title;
    }
    // Left button up, then down at (x, y) on one screen; true when `b` took the click.
    bool click(clicky& b, int x, int y) {
        game_state = 99;
        world.now += 1000;  // apart, so no press is a double-click's second half
        set_mouse(x, y, 0);
        b.is_clicked();
        set_mouse(x, y, 1);
        const int hit = b.is_clicked();
        EXPECT_EQ(hit == 1, game_state == b.target) << "result and state disagree at " << x << "," << y;
        return hit == 1;
    }
};

TEST_F(buttons, hit_area_is_strictly_inside_the_outline) {
    clicky b;
    b.edit_button(320, 400, 96, 32, state_leave);
    EXPECT_TRUE(click(b, 273, 385));
    EXPECT_TRUE(click(b, 367, 415));
    EXPECT_TRUE(click(b, 320, 400));
    for (auto [x, y] : {std::pair{272, 400}, {368, 400}, {320, 384}, {320, 416}, {272, 384}})
        EXPECT_FALSE(click(b, x, y)) << "outline pixel " << x << "," << y << " must not hit";
}

TEST_F(buttons, odd_sizes_round_the_half_toward_zero) {
    clicky b;
    b.edit_button(100, 100, 95, 33, 2);  // halves 47 and 16
    EXPECT_TRUE(click(b, 54, 85));
    EXPECT_TRUE(click(b, 146, 115));
    EXPECT_FALSE(click(b, 53, 100));
    EXPECT_FALSE(click(b, 147, 100));
    EXPECT_FALSE(click(b, 100, 84));
    EXPECT_FALSE(click(b, 100, 116));
}

TEST_F(buttons, only_the_left_button_hits_and_a_miss_changes_nothing) {
    clicky b;
    b.edit_button(320, 250, 96, 32, state_play);
    set_mouse(320, 250, 2);
    game_state = state_title;
    EXPECT_EQ(b.is_clicked(), 0);
    EXPECT_EQ(game_state, state_title);
    EXPECT_EQ(game_state, state_title);
    set_mouse(320, 250, 3);
    EXPECT_EQ(b.is_clicked(), 1);
    EXPECT_EQ(game_state, state_play);
}

TEST_F(buttons, edit_button_sets_its_rectangle_and_target) {
    clicky b;
    b.edit_button(1, 2, 3, 4, 5);
    EXPECT_EQ(b.x, 1);
    EXPECT_EQ(b.y, 2);
    EXPECT_EQ(b.w, 3);
    EXPECT_EQ(b.h, 4);
    EXPECT_EQ(b.target, 5);
}

// Where the buttons of different screens overlap, a press must end before the next acts.
TEST_F(buttons, shared_centres_of_different_screens_overlap) {
    clicky title_quit, table_return, credits_return;
    title_quit.edit_button(320, 400, 96, 32, state_leave);
    table_return.edit_button(320, 400, 96, 32, state_title);
    credits_return.edit_button(320, 420, 96, 32, state_title);
    for (int y = 405; y <= 415; ++y) {
        EXPECT_TRUE(click(title_quit, 320, y));
        EXPECT_TRUE(click(credits_return, 320, y));
    }
    EXPECT_TRUE(click(table_return, 273, 385));
    EXPECT_FALSE(click(credits_return, 320, 404));

    // A long click on the table's Return to Title lands on the title menu and stays there.
    game_state = state_end_of_game;
    world.now += 1000;
    set_mouse(320, 400, 0);
    table_return.is_clicked();
    set_mouse(320, 400, 1);
    EXPECT_EQ(table_return.is_clicked(), 1);
    for (int frame = 0; frame < 30; ++frame) EXPECT_EQ(title_quit.is_clicked(), 0);
    EXPECT_EQ(game_state, state_title);
    set_mouse(320, 400, 0);
    EXPECT_EQ(title_quit.is_clicked(), 0);
    // Sliding onto a button with the button down, once it was seen up here, still presses.
    world.now += 1000;
    set_mouse(100, 100, 1);
    EXPECT_EQ(title_quit.is_clicked(), 0);
    set_mouse(320, 400, 1);
    EXPECT_EQ(title_quit.is_clicked(), 1);
    EXPECT_EQ(game_state, state_leave);
}

// A tap that goes down and up between two frames is a click where it went down; the second
// half of a double-click that changed the screen does nothing there.
TEST_F(buttons, taps_between_frames_count_and_double_clicks_do_not_carry_over) {
    clicky table_return, title_quit;
    table_return.edit_button(320, 400, 96, 32, state_title);
    title_quit.edit_button(320, 400, 96, 32, state_leave);
    game_state = state_end_of_game;
    set_mouse(320, 400, 1);
    set_mouse(500, 100, 0);  // 10 ms later, up and away
    EXPECT_EQ(table_return.is_clicked(), 1);
    EXPECT_EQ(game_state, state_title);

    start_button_screen();  // the screen loop enters the title menu
    for (const int gap : {250, 350, 399, 450, 499}) {
        world.now += gap;
        set_mouse(320, 400, 1);
        set_mouse(320, 400, 0);
        EXPECT_EQ(title_quit.is_clicked(), 0) << "a second press " << gap << " ms after the first";
        world.now -= gap;
    }
    world.now += 500;
    set_mouse(320, 400, 1);
    EXPECT_EQ(title_quit.is_clicked(), 1) << "a press 500 ms after the first is a click of its own";
    EXPECT_EQ(game_state, state_leave);

    // A press that does not change the screen (Continue) leaves the next one free.
    clicky resume;
    resume.edit_button(320, 250, 96, 32, state_play);
    game_state = state_play;
    set_mouse(320, 250, 0);
    world.now += 1000;
    set_mouse(320, 250, 1);
    EXPECT_EQ(resume.is_clicked(), 1);
    set_mouse(320, 250, 0);
    world.now += 100;
    set_mouse(320, 250, 1);
    EXPECT_EQ(resume.is_clicked(), 1);
}

TEST(button_drawing, outline_is_white_and_one_pixel) {
    reset_headless();
    BITMAP* b = create_bitmap(200, 100);
    clear_to_color(b, rgb(40, 40, 40));
    clicky button;
    button.edit_button(100, 50, 96, 32, 1);
    draw_button(b, button, "Quit");
    const int white = rgb(255, 255, 255);
    EXPECT_EQ(pixel(b, 52, 34), white);
    EXPECT_EQ(pixel(b, 148, 66), white);
    EXPECT_EQ(pixel(b, 52, 50), white);
    EXPECT_EQ(pixel(b, 53, 50), rgb(40, 40, 40));
    // "Quit" is 32 pixels wide, centred on x 100, top at y 45.
    bool label_inside = false;
    for (int y = 45; y < 53; ++y)
        for (int x = 84; x < 116; ++x) label_inside |= pixel(b, x, y) == white;
    EXPECT_TRUE(label_inside);
    for (int x = 53; x < 148; ++x) EXPECT_NE(pixel(b, x, 44), white) << "label drawn above its top row";
    destroy_bitmap(b);
}

TEST(wipe, leaves_dest_equal_to_src_in_small_timed_steps) {
    reset_headless();
    BITMAP* src = create_bitmap(640, 480);
    BITMAP* dest = create_bitmap(640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) putpixel(src, x, y, makecol(x % 256, y % 256, (x * y) % 256));
    clear_to_color(dest, rgb(1, 2, 3));
    int steps_seen = 0;
    world.on_wait = [&](int) {
        ++steps_seen;
        if (steps_seen == 10) {
            // Mid-wipe: 30 columns are new, then the grey and white edge lines.
            EXPECT_EQ(pixel(dest, 29, 100), pixel(src, 29, 100));
            EXPECT_EQ(pixel(dest, 30, 7), rgb(200, 200, 200));
            EXPECT_EQ(pixel(dest, 31, 7), rgb(255, 255, 255));
            EXPECT_EQ(pixel(dest, 32, 100), rgb(1, 2, 3));
        }
    };
    screen_trans(dest, src);
    EXPECT_TRUE(same_pixels(dest, src));
    EXPECT_EQ(world.waits, std::vector<int>(214, 1));
    EXPECT_EQ(world.sounds, std::vector<int>{0});
    destroy_bitmap(src);
    destroy_bitmap(dest);
}

TEST(aim_cursor, is_a_white_cross_with_a_hollow_centre_on_magenta) {
    reset_headless();
    BITMAP* a = create_bitmap(32, 32);
    draw_aim_cursor(a);
    const int white = rgb(255, 255, 255), magenta = rgb(255, 0, 255);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool in_hole = x >= 13 && x <= 18 && y >= 13 && y <= 18;
            const bool on_cross = (x == 16 || y == 16) && !in_hole;
            EXPECT_EQ(pixel(a, x, y), on_cross ? white : magenta) << x << "," << y;
        }
    destroy_bitmap(a);
}
