// The real machine behind the host seam, and the pointer as the game's screens see it.
// Input stays Allegro's own mouse_x, mouse_y, mouse_b and key; tests write those directly.
#pragma once

#include "platform/host.h"

// The monotonic clock (counted from the first reading), sleeps that end on their deadline
// with the display's own work done between frames, silent effects, MIDI music.
void use_real_host();

// The pointer on the 640x480 picture: the window's pixels mapped onto it however it is
// scaled (one to one in headless tests).
int pointer_x();
int pointer_y();
