// What the game and the board must agree on for a board round.
#pragma once

#include <cstdint>

constexpr int32_t frames_between_ticks = 390;
constexpr int pauses_most = 3;
constexpr int64_t paused_ms_most = 60000;
