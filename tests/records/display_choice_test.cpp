// The file that remembers full screen or window, the scaling and the monitor.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "records/display_choice.h"
#include "support/headless.h"

using namespace testing_support;

TEST(display_choice, old_files_read_the_same_and_the_scaling_is_kept_beside_them) {
    ASSERT_EQ(chdir(scratch_dir("display_choice").c_str()), 0);
    mkdir("KZ DATA", 0755);
    auto write = [](const char* text) {
        FILE* f = std::fopen(display_choice_path, "w");
        ASSERT_TRUE(f);
        std::fputs(text, f);
        std::fclose(f);
    };
    auto read_back = [] {
        std::ifstream in(display_choice_path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    display_choice c = remembered_display_choice();  // no file: full screen, auto
    EXPECT_TRUE(c.fullscreen);
    EXPECT_EQ(c.scaling, picture_scaling::automatic);

    write("window\n");  // as older versions wrote it
    c = remembered_display_choice();
    EXPECT_FALSE(c.fullscreen);
    EXPECT_EQ(c.scaling, picture_scaling::automatic);
    remember_scaling(picture_scaling::sharp);
    EXPECT_EQ(read_back(), "window\nscaling sharp\n");
    remember_display_choice(true, "HDMI-2");
    EXPECT_EQ(read_back(), "fullscreen\nscaling sharp\nmonitor HDMI-2\n");
    c = remembered_display_choice();
    EXPECT_TRUE(c.fullscreen);
    EXPECT_EQ(c.scaling, picture_scaling::sharp);
    EXPECT_EQ(c.monitor, "HDMI-2");
    remember_display_choice(false, "");  // no monitor known: the last one stays
    EXPECT_EQ(read_back(), "window\nscaling sharp\nmonitor HDMI-2\n");

    write("window\r\nscaling pixel\r\n");
    EXPECT_EQ(remembered_display_choice().scaling, picture_scaling::pixel);
    write("window\nscaling blurry\nmonitor two words\n");  // not the game's words: defaults
    c = remembered_display_choice();
    EXPECT_EQ(c.scaling, picture_scaling::automatic);
    EXPECT_EQ(c.monitor, "");
}
