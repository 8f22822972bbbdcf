// What the game and the board must agree on about a round's notices: the game sends them
// by these figures and the board holds the round to the same ones.
#pragma once

#include <cstdint>

// A tick notice goes every 390th frame, ten game seconds.
constexpr int32_t frames_between_ticks = 390;
constexpr int pauses_most = 3;
constexpr int64_t paused_ms_most = 60000;
