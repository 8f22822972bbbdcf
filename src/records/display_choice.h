// The player's last display choices, kept in "KZ DATA": full screen or a window, how the
// picture grows, and the monitor the game was last on.
#pragma once

#include <string>

#include "platform/display_layout.h"

extern const char* const display_choice_path;

struct display_choice {
    bool fullscreen = true;
    picture_scaling scaling = picture_scaling::automatic;
    std::string monitor;  // its name on the desktop; empty for none
};

// What the file says; the defaults where it is missing or damaged. A file that is there
// but cannot be read is the player's and is never saved over.
display_choice remembered_display_choice();

// Each saves the whole choice atomically, the other half as last read or remembered; says
// so on stderr when it cannot.
void remember_display_choice(bool fullscreen, const char* monitor);
void remember_scaling(picture_scaling scaling);

// "auto", "pixel" or "sharp"; false for any other word.
bool scaling_named(const char* name, picture_scaling* scaling);
const char* scaling_name(picture_scaling scaling);
