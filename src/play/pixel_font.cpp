// Text from the exported glyphs.
#include "play/pixel_font.h"

#include <cstring>

namespace paint {

namespace {

const unsigned char* glyph(unsigned char code) {
    if (code < font_first || code >= font_first + font_glyphs) code = '^';
    return font_glyph_rows[code - font_first];
}

}  // namespace

int text_length(const char* text) { return static_cast<int>(std::strlen(text)) * font_width; }

void textout(pixel_canvas& dest, const char* text, int x, int y, uint32_t colour) {
    for (const char* p = text; *p; ++p, x += font_width) {
        const unsigned char* rows = glyph(static_cast<unsigned char>(*p));
        for (int row = 0; row < font_height; ++row)
            for (int col = 0; col < font_width; ++col)
                if (rows[row] & (0x80 >> col)) put_pixel(dest, x + col, y + row, colour);
    }
}

void textout_right(pixel_canvas& dest, const char* text, int x, int y, uint32_t colour) {
    textout(dest, text, x - text_length(text), y, colour);
}

void textout_centre(pixel_canvas& dest, const char* text, int x, int y, uint32_t colour) {
    textout(dest, text, x - text_length(text) / 2, y, colour);
}

}  // namespace paint
