// The picture of a round: the field drawn in `buffer`, composed with the side panels,
// heads-up display and cursor in `frame`, and handed over for display.
#pragma once

#include <allegro.h>

// Frame step 15. Only reads the round's records. A replay passes `label`, which draws
// its own mark over the picture before it is shown.
void draw_round(void (*label)(BITMAP* picture) = nullptr);

