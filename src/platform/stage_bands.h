// Where each stage's band lies in the background picture: the game and the picture drawn
// without Allegro read the same rows.
#pragma once

constexpr int stage_bands = 5;
constexpr int stage_band_top[stage_bands] = {184, 80, 290, 390, 515};  // top row of each band
