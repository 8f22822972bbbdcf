// The pause menu: opening, the two buttons, the frozen round and the screenshot.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "play/pause_menu.h"
#include "play/round_events.h"
#include "play_fixture.h"
#include "ui/aimer.h"
#include "ui/buttons.h"
#include "platform/assets.h"
#include "platform/host.h"
#include "app/screen_loop.h"
#include "platform/surfaces.h"
#include "platform/window_focus.h"
#include "support/headless.h"

using namespace play_testing;
using testing_support::pixel;
using testing_support::rgb;
using testing_support::same_pixels;
using testing_support::set_mouse;
using testing_support::world;

namespace {

void press_key(int k, bool down) { const_cast<char*>(key)[k] = down ? 1 : 0; }


class PauseMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        fresh_round();
        stand_player_at(320);
        set_mouse(150, 420, 0);
        play_frame();
        last_play = create_bitmap(640, 480);
        blit(frame, last_play, 0, 0, 0, 0, 640, 480);
        world.waits.clear();
        world.sounds.clear();
    }
    void TearDown() override { destroy_bitmap(last_play); }

    // Runs `script` after each pass of the menu with the pass number, from 1.
    void on_each_pass(std::function<void(int)> script) {
        world.on_wait = [this, script](int) {
            if (world.waits.back() == 20 && paused) script(++passes);
        };
    }

    BITMAP* last_play = nullptr;
    int passes = 0;
};

TEST_F(PauseMenuTest, EscFreezesTheRoundAndContinueStartsNoDash) {
    const int clock_before = play_time[0];
    const int now_before = world.now;
    press_key(KEY_ESC, true);
    on_each_pass([](int pass) {
        if (pass == 1) press_key(KEY_ESC, false);
        if (pass == 50) set_mouse(320, 250, 1);
    });
    play_frame();
    EXPECT_EQ(passes, 50);
    EXPECT_FALSE(paused);
    EXPECT_EQ(game_state, state_play);
    EXPECT_TRUE(mouseisdown);
    EXPECT_EQ(play_time[0], clock_before + 1) << "the menu's time is not counted";
    EXPECT_EQ(world.now, now_before + 51 * 20) << "the resumed frame is not delayed further";

    world.on_wait = nullptr;
    run_frames(3);  // the button is still down
    EXPECT_EQ(count_of(world.sounds, 0), 0);
    EXPECT_EQ(player.x, 320);
    set_mouse(320, 250, 0);
    play_frame();
    set_mouse(400, 250, 1);
    play_frame();
    EXPECT_EQ(count_of(world.sounds, 0), 1);
}

TEST_F(PauseMenuTest, RightButtonOpensTheMenuWhichIsDrawnOverTheLastPicture) {
    set_mouse(150, 420, 2);
    int buttons_in_menu = -1;
    BITMAP* shown = create_bitmap(640, 480);
    on_each_pass([&](int pass) {
        if (pass == 1) {
            buttons_in_menu = mouse_b;
            blit(fake_screen, shown, 0, 0, 0, 0, 640, 480);
            set_mouse(320, 250, 1);
        }
    });
    play_frame();
    // Written away, the library would report the held button as a new press at the next
    // motion; the menu's buttons ignore a press from the round by its serial instead.
    EXPECT_EQ(buttons_in_menu, 2) << "the library's button state is left alone";
    EXPECT_EQ(pixel(shown, 320, 168), pause_banner_colour());
    EXPECT_EQ(pixel(shown, 320, 120), pixel(last_play, 320, 120)) << "the banner is masked";
    EXPECT_EQ(pixel(shown, 272, 284), rgb(255, 255, 255)) << "Return to Title outline";
    EXPECT_EQ(pixel(shown, 368, 266), rgb(255, 255, 255)) << "Continue outline";
    EXPECT_EQ(pixel(shown, 150, 420 - 10), rgb(255, 255, 255)) << "the cursor";
    EXPECT_EQ(pixel(shown, 20, 470), pixel(last_play, 20, 470));
    destroy_bitmap(shown);
}

// Only the cursor's rows are composed again while the menu is up: wherever it goes, up,
// down, across the banner and the buttons and off the edges, the picture shown is the
// whole menu with the cursor where it is now, and no trace where it was.
TEST_F(PauseMenuTest, TheCursorMovingOverTheMenuLeavesNoTrace) {
    const int path[][2] = {{150, 420}, {320, 168}, {330, 150}, {272, 284}, {600, 5}, {2, 478}, {368, 266}, {368, 266}};
    const int steps = static_cast<int>(sizeof path / sizeof path[0]);
    BITMAP* shown[steps] = {};
    set_mouse(150, 420, 2);
    on_each_pass([&](int pass) {
        shown[pass - 1] = create_bitmap(640, 480);
        blit(fake_screen, shown[pass - 1], 0, 0, 0, 0, 640, 480);
        if (pass < steps) set_mouse(path[pass][0], path[pass][1], 0);
        else set_mouse(320, 250, 1);  // Continue
    });
    play_frame();
    ASSERT_EQ(passes, steps);
    // The whole menu composed afresh, the cursor at each place in turn.
    BITMAP* whole = create_bitmap(640, 480);
    for (int i = 0; i < steps; ++i) {
        SCOPED_TRACE(i);
        blit(last_play, whole, 0, 0, 0, 0, 640, 480);
        masked_blit(title, whole, 0, 96, 80, 120, 480, 96);
        draw_button(whole, quit, "Return to", "Title");
        draw_button(whole, progress, "Continue");
        draw_aimer_at(whole, path[i][0], path[i][1]);
        EXPECT_TRUE(same_pixels(shown[i], whole));
        destroy_bitmap(shown[i]);
    }
    destroy_bitmap(whole);
}

TEST_F(PauseMenuTest, ReturnToTitleEndsTheRoundWithoutTheTimeOut) {
    time_left = 3;
    press_key(KEY_ESC, true);
    on_each_pass([](int pass) {
        press_key(KEY_ESC, false);
        if (pass == 2) set_mouse(320, 300, 1);
    });
    play_frame();
    EXPECT_EQ(game_state, state_title);
    EXPECT_EQ(mouse_b, 1) << "the press still held is the library's to report";
    EXPECT_EQ(count_of(world.waits, 2000), 0);
    EXPECT_EQ(time_left, 3);
}

TEST_F(PauseMenuTest, EscStillHeldAfterContinueOpensTheMenuAgain) {
    press_key(KEY_ESC, true);
    on_each_pass([](int) {
        set_mouse(320, 250, 0);  // each opening of the menu is closed by a click of its own
        set_mouse(320, 250, 1);
    });
    play_frame();
    EXPECT_EQ(passes, 1);
    play_frame();
    EXPECT_EQ(passes, 2);
    press_key(KEY_ESC, false);
}

TEST_F(PauseMenuTest, LosingTheFocusPausesOnceAndOnlyTheRoundInProgress) {
    note_focus_loss();  // on the title menu, before this round began
    start_round_seeded(1);
    run_frames(2);
    EXPECT_EQ(passes, 0);

    note_focus_loss();
    on_each_pass([](int pass) {
        if (pass == 1) note_focus_loss();  // looking away again while paused
        if (pass == 2) set_mouse(320, 250, 1);
    });
    play_frame();
    EXPECT_EQ(passes, 2);
    set_mouse(320, 250, 0);
    play_frame();
    EXPECT_EQ(passes, 2) << "the round goes on after Continue";
}

TEST_F(PauseMenuTest, TabInTheMenuSavesTheLastPictureOfPlayAndNothingElse) {
    ASSERT_EQ(chdir(testing_support::scratch_dir("screenshot").c_str()), 0);
    unlink(screenshot_path);
    press_key(KEY_TAB, true);
    run_frames(3);
    EXPECT_NE(access(screenshot_path, F_OK), 0) << "Tab outside the menu does nothing";
    blit(frame, last_play, 0, 0, 0, 0, 640, 480);

    press_key(KEY_ESC, true);
    on_each_pass([](int pass) {
        press_key(KEY_ESC, false);
        if (pass == 3) set_mouse(320, 250, 1);
    });
    play_frame();
    press_key(KEY_TAB, false);
    BITMAP* saved = load_bitmap(screenshot_path, nullptr);
    ASSERT_NE(saved, nullptr);
    BITMAP* saved32 = create_bitmap(640, 480);
    blit(saved, saved32, 0, 0, 0, 0, 640, 480);
    EXPECT_TRUE(same_pixels(saved32, last_play));
    destroy_bitmap(saved32);
    destroy_bitmap(saved);
}

// A world round's menu hides the field (what is frozen there is not to be studied at
// leisure) and its Tab saves nothing; the menu itself is the same.
TEST_F(PauseMenuTest, AWorldRoundsMenuHidesTheField) {
    static const round_listener world_round = {
        [](uint32_t*) { return false; }, [](int) {}, [](int) {}, [](int) {}, [](int) {}, [] { return 2; },
        []() -> const char* { return nullptr; }, [](int, uint32_t*) { return false; }};
    auto field_shown = [](BITMAP* b) {
        int lit = 0;
        for (int y = 0; y < 110; ++y)
            for (int x = 0; x < 640; ++x) lit += pixel(b, x, y) != rgb(0, 0, 0);
        return lit;
    };
    ASSERT_GT(field_shown(last_play), 1000) << "the field has something to hide";
    ASSERT_EQ(chdir(testing_support::scratch_dir("screenshot_world").c_str()), 0);
    unlink(screenshot_path);

    listen_to_rounds(&world_round);
    set_mouse(150, 420, 2);
    press_key(KEY_TAB, true);
    BITMAP* shown = create_bitmap(640, 480);
    on_each_pass([&](int pass) {
        if (pass == 1) blit(fake_screen, shown, 0, 0, 0, 0, 640, 480);
        if (pass == 3) set_mouse(320, 250, 1);
    });
    play_frame();
    press_key(KEY_TAB, false);
    listen_to_rounds(nullptr);
    EXPECT_EQ(field_shown(shown), 0) << "the field is hidden";
    EXPECT_EQ(pixel(shown, 20, 470), rgb(0, 0, 0));
    EXPECT_EQ(pixel(shown, 320, 168), pause_banner_colour());
    EXPECT_EQ(pixel(shown, 272, 284), rgb(255, 255, 255)) << "Return to Title outline";
    EXPECT_EQ(pixel(shown, 368, 266), rgb(255, 255, 255)) << "Continue outline";
    EXPECT_NE(access(screenshot_path, F_OK), 0) << "no picture of the field saved";
    destroy_bitmap(shown);
}

}  // namespace
