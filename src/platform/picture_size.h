// The game's picture: 640x480, whatever the display makes of it.
#pragma once

constexpr int screen_w = 640;
constexpr int screen_h = 480;
