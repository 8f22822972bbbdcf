// The picture of a round: the field, the side panels, the heads-up display and the cursor
// composed in `frame`, and handed over for display.
#pragma once

#include <allegro.h>

// Frame step 15. Only reads the round's records. A replay passes `label`, which draws
// its own mark over the picture before it is shown.
void draw_round(void (*label)(BITMAP* picture) = nullptr);

// Tests compare frames drawn whole with frames drawn only where things moved.
extern bool draw_whole_frame;

