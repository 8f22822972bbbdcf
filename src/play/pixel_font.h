// Text in the game's 8-pixel font over plain pixels, placed and covered as Allegro's
// textout calls place it with no background.
#pragma once

#include "play/pixel_canvas.h"

constexpr int font_width = 8, font_height = 8;
// Glyphs of the codes 32 to 127; any other byte is drawn as Allegro draws a character
// its font lacks, as '^'.
constexpr int font_first = 32, font_glyphs = 96;
// Generated at build time from Allegro's own font (tools/export_font).
extern const unsigned char font_glyph_rows[font_glyphs][font_height];

namespace paint {

int text_length(const char* text);
// Left end at x; right end at x; centred on x (half the length, rounded down, to the left).
void textout(pixel_canvas& dest, const char* text, int x, int y, uint32_t colour);
void textout_right(pixel_canvas& dest, const char* text, int x, int y, uint32_t colour);
void textout_centre(pixel_canvas& dest, const char* text, int x, int y, uint32_t colour);

}  // namespace paint
