// The game's own aim cursor, drawn over every screen's picture.
#pragma once

#include <allegro.h>

// The last step of every screen's composing, before the hand-over: the cursor at the
// pointer, centred.
void draw_aimer(BITMAP* dest);

// The cursor at a given point of the picture: the round draws it where its input says.
void draw_aimer_at(BITMAP* dest, int x, int y);
