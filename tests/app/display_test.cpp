// The picture on bigger displays: the scaler, where the picture and the window go, how the
// pointer maps back, and the command line that asks for them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/display_layout.h"
#include "platform/picture_scaler.h"
#include "support/headless.h"

using namespace testing_support;

TEST(picture_scaler, every_pixel_becomes_a_k_by_k_block_and_the_border_stays_black) {
    reset_headless();
    BITMAP* picture = create_bitmap(640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) putpixel(picture, x, y, rgb(x % 256, y % 256, (x * y) % 256));
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        const picture_layout at{k, 7, 5};
        BITMAP* display = create_bitmap(640 * k + 14, 480 * k + 10);
        clear_to_color(display, 0);
        scale_picture_rows(picture, display, at, 0, 480);
        int wrong = 0;
        for (int y = 0; y < display->h; ++y)
            for (int x = 0; x < display->w; ++x) {
                const bool inside = on_picture(at, x, y);
                const int want = inside ? pixel(picture, (x - 7) / k, (y - 5) / k) : 0;
                wrong += pixel(display, x, y) != want;
            }
        EXPECT_EQ(wrong, 0);
        // A band of rows touches only its own k-fold rows.
        clear_to_color(display, 0);
        scale_picture_rows(picture, display, at, 100, 102);
        EXPECT_EQ(pixel(display, 7, 5 + 100 * k - 1), 0);
        EXPECT_EQ(pixel(display, 7, 5 + 100 * k), pixel(picture, 0, 100));
        EXPECT_EQ(pixel(display, 7, 5 + 102 * k - 1), pixel(picture, 0, 101));
        EXPECT_EQ(pixel(display, 7, 5 + 102 * k), 0);
        destroy_bitmap(display);
    }
    destroy_bitmap(picture);
}

TEST(display_layout, full_screen_takes_the_largest_whole_factor_centred) {
    struct case_ {
        int w, h, k, left, top;
    } cases[] = {
        {640, 480, 1, 0, 0},      {1280, 720, 1, 320, 120},   {1920, 1080, 2, 320, 60},
        {2560, 1440, 3, 320, 0},  {3840, 2160, 4, 640, 120},  {1279, 959, 1, 319, 239},
        {600, 400, 1, 0, 0},  // smaller than the picture: its top-left part, never off the window
    };
    for (const case_& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        const display_plan plan = plan_fullscreen({100, 50, c.w, c.h});
        EXPECT_EQ(plan.picture.k, c.k);
        EXPECT_EQ(plan.picture.left, c.left);
        EXPECT_EQ(plan.picture.top, c.top);
        EXPECT_EQ(plan.window.x, 100);
        EXPECT_EQ(plan.window.w, c.w);
    }
}

TEST(display_layout, the_window_fits_the_work_area_of_its_own_monitor) {
    // Two monitors side by side; a panel takes the top 30 rows of the desktop.
    const std::vector<screen_rect> monitors = {{0, 0, 1920, 1080}, {1920, 0, 3840, 2160}};
    const screen_rect work{0, 30, 5760, 2130};
    EXPECT_EQ(monitor_at(monitors, 100, 100, 0), 0);
    EXPECT_EQ(monitor_at(monitors, 1920, 0, 0), 1);
    EXPECT_EQ(monitor_at(monitors, 9000, 500, 0), 1);  // off every monitor: the nearest
    EXPECT_EQ(monitor_at({}, 5, 5, 0), 0);

    bool reduced = true;
    display_plan plan = plan_window(monitors[0], work, 0, &reduced);
    EXPECT_FALSE(reduced);
    EXPECT_EQ(plan.picture.k, 2);  // the whole 1080 rows would allow 2 as well; 3 never fits
    EXPECT_EQ(plan.window.w, 1280);
    EXPECT_EQ(plan.window.h, 960);
    EXPECT_EQ(plan.window.x, 320);
    EXPECT_EQ(plan.window.y, 30 + (1050 - 960) / 2);
    EXPECT_EQ(plan.picture.left, 0);

    // The second monitor's size counts there, never the whole desktop's 5760 columns.
    plan = plan_window(monitors[1], work, 0, &reduced);
    EXPECT_EQ(plan.picture.k, 4);
    EXPECT_EQ(plan.window.x, 1920 + (3840 - 2560) / 2);
    EXPECT_EQ(plan_fullscreen(monitors[1]).picture.k, 4);

    // A factor that does not fit gives the largest that does, and says so.
    plan = plan_window(monitors[0], work, 3, &reduced);
    EXPECT_TRUE(reduced);
    EXPECT_EQ(plan.picture.k, 2);
    plan = plan_window(monitors[0], work, 1, &reduced);
    EXPECT_FALSE(reduced);
    EXPECT_EQ(plan.window.w, 640);
}

TEST(display_layout, the_pointer_maps_onto_the_picture_and_clamps_outside_it) {
    const picture_layout at{2, 320, 60};
    auto maps_to = [&](int x, int y, int px, int py) {
        const picture_point p = map_pointer(at, x, y);
        return p.x == px && p.y == py;
    };
    EXPECT_TRUE(maps_to(320, 60, 0, 0));
    EXPECT_TRUE(maps_to(321, 61, 0, 0));
    EXPECT_TRUE(maps_to(322, 62, 1, 1));
    EXPECT_TRUE(maps_to(320 + 1279, 60 + 959, 639, 479));
    EXPECT_TRUE(maps_to(319, 59, 0, 0));      // just left of and above: not rounded onto it
    EXPECT_TRUE(maps_to(0, 0, 0, 0));
    EXPECT_TRUE(maps_to(1919, 1079, 639, 479));
    EXPECT_TRUE(maps_to(-5, 600, 0, 270));
    EXPECT_TRUE(on_picture(at, 320, 60));
    EXPECT_FALSE(on_picture(at, 319, 60));
    EXPECT_FALSE(on_picture(at, 1600, 500));
    EXPECT_TRUE(maps_to(1600, 500, 639, 220));
}

TEST(command_line, display_options_help_version_and_replays) {
    auto parse = [](std::vector<const char*> args, launch_options& o, std::string& error) {
        args.insert(args.begin(), "blockdash");
        o = {};
        return parse_command_line(static_cast<int>(args.size()), args.data(), o, error);
    };
    launch_options o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error));
    EXPECT_EQ(o.display, display_request::remembered);
    EXPECT_EQ(o.scale, 0);
    ASSERT_TRUE(parse({"--window", "--scale", "3"}, o, error));
    EXPECT_EQ(o.display, display_request::window);
    EXPECT_EQ(o.scale, 3);
    ASSERT_TRUE(parse({"--window", "--fullscreen", "--scale=2"}, o, error));
    EXPECT_EQ(o.display, display_request::fullscreen);  // the last word counts
    EXPECT_EQ(o.scale, 2);
    ASSERT_TRUE(parse({"--help"}, o, error));
    EXPECT_TRUE(o.show_help);
    ASSERT_TRUE(parse({"--version"}, o, error));
    EXPECT_TRUE(o.show_version);
    EXPECT_EQ(std::string(version_text()).rfind("blockdash ", 0), 0u);
    ASSERT_TRUE(parse({"--window", "--replay", "--verify"}, o, error));  // a file may have any name
    EXPECT_EQ(o.replay, replay_request::watch);
    EXPECT_EQ(o.replay_file, "--verify");
    ASSERT_TRUE(parse({"--verify", "a.rpl"}, o, error));
    EXPECT_EQ(o.replay, replay_request::verify);

    for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
             {"--scale"}, {"--scale", "0"}, {"--scale", "-2"}, {"--scale", "2x"},
             {"--scale", "99999999999"}, {"--scale="}, {"--windowed"}, {"-x"}, {"window"},
             {"--replay"}, {"--verify", ""}}) {
        SCOPED_TRACE(bad.back());
        error.clear();
        EXPECT_FALSE(parse(bad, o, error));
        EXPECT_FALSE(error.empty());
    }
}
