// The little the rules need of the desktop window, reached through hooks. The files that
// speak X11 (blockdash_desktop) fill them in as they load; the board links none of those,
// so its hooks keep the quiet defaults below and it needs no X11.
#pragma once

#include <allegro.h>

#include <vector>

#include "platform/display_layout.h"
#include "platform/picture_area.h"

struct desktop_hooks {
    picture_layout (*picture_layout_now)();  // where the picture sits in the window
    void (*show_picture_parts)(BITMAP* picture, const std::vector<picture_area>& parts);
    bool (*follow_display_requests)();       // true when the whole picture must be shown again
    int (*double_click_ms)();                // the desktop's own setting, 0 when none
    void (*watch_for_display_loss)();        // from now on a lost display ends in order
};

extern desktop_hooks desktop;
