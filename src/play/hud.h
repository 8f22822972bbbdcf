// What floats over the field: score and time in the side panels, the popups, and the
// banners held on the presented picture.
#pragma once

#include <allegro.h>

// Score, time and the active popups, drawn on dest after the field. Reads only.
void draw_hud(BITMAP* dest);

// Drawn straight onto fake_screen, over the picture just handed over, before a hold.
void draw_stage_banner();     // "stage" and the digit of the new stage
void draw_time_out_banner();  // the clock ran out
