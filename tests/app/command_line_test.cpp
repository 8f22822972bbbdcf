// The command line: display options, help, version and replays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/display_layout.h"

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
    EXPECT_FALSE(o.scaling_given);
    ASSERT_TRUE(parse({"--scaling", "sharp"}, o, error));
    EXPECT_TRUE(o.scaling_given);
    EXPECT_EQ(o.scaling, picture_scaling::sharp);
    ASSERT_TRUE(parse({"--scaling=pixel", "--scale", "2"}, o, error));
    EXPECT_EQ(o.scaling, picture_scaling::pixel);
    ASSERT_TRUE(parse({"--scaling", "auto"}, o, error));
    EXPECT_EQ(o.scaling, picture_scaling::automatic);
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
    ASSERT_TRUE(parse({"--board", "https://board.example.org"}, o, error));
    EXPECT_EQ(o.board, "https://board.example.org");
    ASSERT_TRUE(parse({"--board=off", "--window"}, o, error));
    EXPECT_EQ(o.board, "off");

    for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
             {"--scale"}, {"--scale", "0"}, {"--scale", "-2"}, {"--scale", "2x"},
             {"--scale", "99999999999"}, {"--scale="}, {"--scaling"}, {"--scaling", "smooth"}, {"--scaling="},
             {"--scalingx"}, {"--windowed"}, {"-x"}, {"window"}, {"--replay"}, {"--verify", ""},
             {"--board"}, {"--board="}, {"--boards", "off"}}) {
        SCOPED_TRACE(bad.back());
        error.clear();
        EXPECT_FALSE(parse(bad, o, error));
        EXPECT_FALSE(error.empty());
    }
}
