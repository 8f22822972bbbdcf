// The scaler that puts the 640x480 picture on a bigger display: by a whole factor, or
// sharp to any size.
#pragma once

#include <allegro.h>

#include <cstdint>

#include "platform/display_layout.h"
#include "platform/picture_area.h"

// A 32-bit surface of w x h pixels whose row y starts at base + y * pitch bytes.
struct pixel_rows {
    unsigned char* base = nullptr;
    long pitch = 0;
    int w = 0, h = 0;
    uint32_t* row(int y) const { return reinterpret_cast<uint32_t*>(base + y * pitch); }
};

// The pixels of a memory bitmap (its rows are one block).
pixel_rows rows_of(BITMAP* bitmap);

// Draws `part` of the 32-bit `picture` into `dest` at the rectangle `at` and returns the
// display rectangle written. A 640k x 480k rectangle gets k x k blocks and only the part's
// own; any other size each pixel widened by the whole factor just above, then stepped down
// smoothly, so inside a pixel the colour is exact and only its edges blend with the
// neighbour's (the part's rows, whole). Writes nothing outside the rectangle (nor outside
// `dest`); the black border is the caller's, drawn once per layout.
picture_area scale_picture_part(BITMAP* picture, const pixel_rows& dest, const picture_layout& at,
                                const picture_area& part);
