// The statistics and credits screen: lifetime totals, credit lines, a way back.
#pragma once

#include <allegro.h>

void enter_credits_screen();
void credits_screen_frame();

// Composes the screen into `dest` without the aim cursor.
void draw_credits_screen(BITMAP* dest);
