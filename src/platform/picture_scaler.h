// The whole-factor scaler that puts the 640x480 picture on a bigger display.
#pragma once

#include <allegro.h>

#include "platform/display_layout.h"

// Copies rows [top, bottom) of the 32-bit `picture` into the 32-bit `dest`, each pixel a
// k by k block, the picture's corner at (at.left, at.top). Writes nothing outside that
// block of rows; the black border is the caller's, drawn once per layout.
void scale_picture_rows(BITMAP* picture, BITMAP* dest, const picture_layout& at, int top,
                        int bottom);
