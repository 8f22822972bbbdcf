// The game's pictures read from their BMP files' bytes into plain pixels, as Allegro's
// loader reads them, for the picture drawn without Allegro (the browser is handed the
// files as they are).
#pragma once

#include <cstddef>

#include "play/pixel_canvas.h"

// Uncompressed 24- and 32-bit BMP files, rows stored either way up; the pixels come out in
// `format`. False, with `out` left alone, for anything else or a file cut short.
bool read_bmp_pixels(const unsigned char* bytes, size_t size, const pixel_format& format, pixel_canvas& out);
