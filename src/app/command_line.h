// What the player can ask for on the command line (the launcher passes its arguments on).
#pragma once

#include <string>

#include "platform/display_layout.h"

enum class display_request { remembered, fullscreen, window };
enum class replay_request { none, watch, verify };

struct launch_options {
    display_request display = display_request::remembered;
    int scale = 0;  // the window's whole factor; 0 means the largest that fits
    bool scaling_given = false;  // without it, the scaling the player last chose
    picture_scaling scaling = picture_scaling::automatic;
    bool show_help = false;
    bool show_version = false;
    replay_request replay = replay_request::none;
    std::string replay_file;
    std::string board;  // --board: an address, or "off"; empty when not given
};

// Reads argv[1..]. On a bad option or value returns false and says why in `error`.
bool parse_command_line(int argc, const char* const* argv, launch_options& options,
                        std::string& error);

// The usage text of --help, and of a bad command line (on stderr).
const char* usage_text();

// "blockdash 1.2.3"
const char* version_text();
