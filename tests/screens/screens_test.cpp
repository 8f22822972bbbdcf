// The generated assets, the title menu and the statistics screen, checked by pixel.
#include <gtest/gtest.h>

#include <cstdio>

#include "play/round.h"
#include "play/sprites.h"
#include "records/lifetime_stats.h"
#include "platform/assets.h"
#include "records/data_folder.h"
#include "ui/aimer.h"
#include "ui/buttons.h"
#include "screens/credits_screen.h"
#include "app/screen_loop.h"
#include "platform/surfaces.h"
#include "screens/title_menu.h"
#include "ui/wipe.h"
#include "support/headless.h"

using namespace testing_support;

namespace {

// True when some pixel of the rectangle has colour c.
bool any_pixel(BITMAP* b, int x0, int y0, int x1, int y1, int c) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (pixel(b, x, y) == c) return true;
    return false;
}

// The picture of `text` as the built-in font draws it, compared cell by cell.
bool text_at(BITMAP* b, const char* text, int left, int top, int colour) {
    BITMAP* probe = create_bitmap(text_length(font, text), 8);
    clear_to_color(probe, 0);
    textout_ex(probe, font, text, 0, 0, colour, -1);
    bool same = true;
    for (int y = 0; y < probe->h && same; ++y)
        for (int x = 0; x < probe->w && same; ++x)
            if (pixel(probe, x, y) == colour) same = pixel(b, left + x, top + y) == colour;
    destroy_bitmap(probe);
    return same;
}

bool centred_text_at(BITMAP* b, const char* text, int centre, int top, int colour) {
    return text_at(b, text, centre - text_length(font, text) / 2, top, colour);
}

}  // namespace

class screens_headless : public ::testing::Test {
protected:
    void SetUp() override {
        reset_headless();
        load_game_assets();
    }
};

TEST_F(screens_headless, generated_assets_load_with_their_sizes) {
    EXPECT_EQ(title->w, 480);
    EXPECT_GE(title->h, 576);
    EXPECT_GE(background->w, 640);
    EXPECT_GE(background->h, 615);
    EXPECT_EQ(bitmap_color_depth(title), 32);
    EXPECT_EQ(bitmap_color_depth(background), 32);
    EXPECT_EQ(player_panel->w, 192);
    EXPECT_EQ(player_panel->h, 64);
    for (BITMAP* b : block_pic) {
        EXPECT_EQ(b->w, 64);
        EXPECT_EQ(bitmap_color_depth(b), 32);
    }
    for (SAMPLE* s : sound) EXPECT_NE(s, nullptr);
    EXPECT_NE(music, nullptr);
    // The sprite sheet's middle pose starts as the player's picture.
    BITMAP* standing = create_bitmap(64, 64);
    blit(player_panel, standing, 64, 0, 0, 0, 64, 64);
    EXPECT_TRUE(same_pixels(standing, player_pose_sprite()));
    destroy_bitmap(standing);
}

TEST_F(screens_headless, title_menu_shows_logo_buttons_and_notice_on_grey) {
    enter_title_menu();
    draw_title_menu(buffer);
    const int white = rgb(255, 255, 255), grey = rgb(40, 40, 40);
    EXPECT_EQ(pixel(buffer, 5, 5), grey);
    EXPECT_EQ(pixel(buffer, 635, 300), grey);
    for (int centre : {250, 300, 350, 400}) {
        EXPECT_EQ(pixel(buffer, 272, centre - 16), white);
        EXPECT_EQ(pixel(buffer, 368, centre + 16), white);
        EXPECT_EQ(pixel(buffer, 300, centre - 16), white);
        EXPECT_EQ(pixel(buffer, 271, centre), grey);
    }
    EXPECT_TRUE(centred_text_at(buffer, "Start Game", 320, 245, white));
    EXPECT_TRUE(centred_text_at(buffer, "Highscores", 320, 295, white));
    EXPECT_TRUE(centred_text_at(buffer, "Credits", 320, 345, white));
    EXPECT_TRUE(centred_text_at(buffer, "Quit", 320, 395, white));
    EXPECT_TRUE(centred_text_at(buffer, title_notice, 320, 465, white));
    // The logo is masked: something of it shows, and its magenta does not.
    int logo_pixels = 0;
    for (int y = 100; y < 196; ++y)
        for (int x = 75; x < 555; ++x) logo_pixels += pixel(buffer, x, y) != grey;
    EXPECT_GT(logo_pixels, 1000);
    EXPECT_FALSE(any_pixel(buffer, 0, 0, 639, 479, rgb(255, 0, 255)));
}

TEST_F(screens_headless, title_menu_frame_wipes_once_then_tracks_the_cursor) {
    player.score = 77;
    enter_title_menu();
    EXPECT_EQ(player.score, 0);
    game_state = state_title;
    screen_lock = true;
    set_mouse(40, 300, 0);  // over nothing but the backdrop
    title_menu_frame();
    EXPECT_FALSE(screen_lock);
    EXPECT_EQ(world.sounds, std::vector<int>{0}) << "the wipe requests the dash sound";
    EXPECT_EQ(world.waits.size(), 214u + 1u) << "wipe steps, then the frame's 20 ms";
    EXPECT_EQ(world.waits.back(), 20);
    EXPECT_EQ(pixel(fake_screen, 40, 300 - 16), rgb(255, 255, 255)) << "cursor's top arm";
    EXPECT_EQ(pixel(fake_screen, 40, 300), rgb(40, 40, 40)) << "cursor's hollow centre";
    EXPECT_EQ(game_state, state_title);

    world.waits.clear();
    title_menu_frame();
    EXPECT_EQ(world.waits, std::vector<int>{20}) << "no second wipe";
}

// After its first frame the title menu composes only under the cursor: wherever the cursor
// goes, over the logo, the buttons and the edges, and when a notice comes up, the picture
// shown is the whole menu with the cursor where it is now.
TEST_F(screens_headless, title_menu_frames_after_the_first_show_the_whole_menu_and_no_trace) {
    enter_title_menu();
    game_state = state_title;
    screen_lock = true;
    data_notice[0] = 0;
    const int path[][2] = {{40, 300}, {320, 140}, {330, 120}, {320, 250}, {600, 3}, {2, 478}, {320, 465}, {320, 465}};
    BITMAP* whole = create_bitmap(640, 480);
    int step = 0;
    for (const auto& at : path) {
        SCOPED_TRACE(step);
        if (step++ == 7) std::snprintf(data_notice, sizeof data_notice, "Statistics not saved: disk full");
        set_mouse(at[0], at[1], 0);
        title_menu_frame();
        draw_title_menu(whole);
        draw_aimer_at(whole, at[0], at[1]);
        EXPECT_TRUE(same_pixels(fake_screen, whole));
    }
    data_notice[0] = 0;
    destroy_bitmap(whole);
}

TEST_F(screens_headless, title_menu_clicks_lead_where_their_labels_say) {
    enter_title_menu();
    const std::pair<int, int> presses[] = {{250, state_play}, {300, state_end_of_game},
                                           {350, state_credits}, {400, state_leave},
                                           {275, state_title}, {330, state_title}};
    for (auto [y, expected] : presses) {
        game_state = state_title;
        world.now += 1000;  // apart, so no press is a double-click's second half
        set_mouse(320, y, 0);
        title_menu_frame();
        set_mouse(320, y, 1);
        title_menu_frame();
        EXPECT_EQ(game_state, expected) << "press at y " << y;
    }
}

TEST_F(screens_headless, statistics_screen_prints_the_totals_and_credits) {
    t_blocks_cut = 120;
    t_games = 3;
    m_combo = 7;
    m_score = 123;
    t_play_time[0] = 3;
    t_play_time[1] = 2;
    t_play_time[2] = 1;
    enter_credits_screen();
    draw_credits_screen(buffer);
    const int white = rgb(255, 255, 255);
    EXPECT_TRUE(text_at(buffer, "Total blocks cut: 120", 200, 250, white));
    EXPECT_TRUE(text_at(buffer, "Total games: 3", 200, 270, white));
    EXPECT_TRUE(text_at(buffer, "Max combo: 7", 200, 290, white));
    EXPECT_TRUE(text_at(buffer, "Max score: 1230", 200, 310, white));
    EXPECT_TRUE(text_at(buffer, "Total play time: 1 hr 2 min 3 sec", 200, 330, white));
    EXPECT_TRUE(centred_text_at(buffer, "-Programming by Dovrane-", 320, 160, white));
    EXPECT_TRUE(centred_text_at(buffer, "-Art by Ostrel-", 320, 180, white));
    EXPECT_TRUE(centred_text_at(buffer, "-Music by Halvik-", 320, 200, white));
    EXPECT_TRUE(centred_text_at(buffer, "Return to", 320, 410, white));
    EXPECT_TRUE(centred_text_at(buffer, "Title", 320, 425, white));
    EXPECT_EQ(pixel(buffer, 272, 404), white);
    EXPECT_EQ(pixel(buffer, 368, 436), white);

    // Its button: outline row 404 does nothing, row 405 returns to the title.
    game_state = state_credits;
    set_mouse(320, 404, 0);
    credits_screen_frame();
    set_mouse(320, 404, 1);
    credits_screen_frame();
    EXPECT_EQ(game_state, state_credits);
    set_mouse(320, 405, 1);
    credits_screen_frame();
    EXPECT_EQ(game_state, state_title);
    t_blocks_cut = t_games = m_combo = m_score = 0;
    t_play_time[0] = t_play_time[1] = t_play_time[2] = 0;
}

TEST_F(screens_headless, statistics_screen_prints_a_huge_best_score_without_overflow) {
    m_score = 2147483647;
    draw_credits_screen(buffer);
    EXPECT_TRUE(text_at(buffer, "Max score: 21474836470", 200, 310, rgb(255, 255, 255)));
    m_score = 0;
}
