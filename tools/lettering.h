// Bold banner lettering: each glyph is a few pen strokes, drawn with a round pen, a
// gradient fill, a dark outline and a drop shadow. Lettering is hard-edged on magenta.
#pragma once

#include <string>

#include "canvas.h"

struct BITMAP;

struct LetterStyle {
    Rgb top, upper, lower, bottom;  // fill: top to upper above the waist, lower to bottom below
    Rgb outline = rgb(22, 14, 38);
    Rgb shadow = rgb(8, 6, 16);
    float slant = 0.18f;    // italic shear, units of x per unit of height
    float condense = 1.0f;  // horizontal scale of the letter shapes (the pen stays round)
    float tracking = 3.3f;  // units between the pen lines of neighbouring letters
    float outline_px = 4;   // dark edge around the fill
    Pt shadow_px{4, 5};     // drop shadow offset
};

// Glyphs are 10 units high. Width in pixels of the pen lines' centres of text with caps
// cap_px high, and the distance from its start to where the next letter would start.
float text_width_px(const std::string& text, float cap_px, const LetterStyle& style);
float text_advance_px(const std::string& text, float cap_px, const LetterStyle& style);

// Draws text with the top-left of its caps at (x, y) and caps `cap_px` high, touching
// only pixels inside the clip rectangle (cx, cy, cw, ch).
void draw_text(BITMAP* bmp, int cx, int cy, int cw, int ch, float x, float y, float cap_px,
               const std::string& text, const LetterStyle& style);

// The largest caps up to max_cap_px that fit the box with outline, slant and shadow,
// centred in it.
void draw_text_centred(BITMAP* bmp, int bx, int by, int bw, int bh, float max_cap_px,
                       const std::string& text, const LetterStyle& style);

// Space the outline, slant and shadow add around text of the given cap height.
float text_margin_left(float cap_px, const LetterStyle& style);
float text_margin_right(float cap_px, const LetterStyle& style);
float text_margin_top(float cap_px, const LetterStyle& style);
float text_margin_bottom(float cap_px, const LetterStyle& style);
