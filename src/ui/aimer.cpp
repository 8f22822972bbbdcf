// The aim cursor at the pointer.
#include "ui/aimer.h"

#include "platform/assets.h"
#include "platform/host.h"

void draw_aimer(BITMAP* dest) { draw_sprite(dest, aimer, pointer_x() - 16, pointer_y() - 16); }
