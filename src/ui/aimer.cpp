// The aim cursor at the pointer.
#include "ui/aimer.h"

#include "platform/assets.h"
#include "platform/real_host.h"

void draw_aimer(BITMAP* dest) { draw_aimer_at(dest, pointer_x(), pointer_y()); }

void draw_aimer_at(BITMAP* dest, int x, int y) { draw_sprite(dest, aimer, x - 16, y - 16); }
