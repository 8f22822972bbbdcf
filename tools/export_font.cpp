// Writes the game's 8-pixel font as C++ data: export_font <output .cpp>. Each glyph is
// drawn by Allegro and read back, so the round's picture can be drawn without Allegro
// in exactly the letters it draws with.
#include <allegro.h>

#include <cerrno>
#include <cstdio>

#include "play/pixel_font.h"

namespace {

// Row bits of one glyph, the leftmost pixel in the highest bit.
bool read_glyph(BITMAP* cell, int code, unsigned char rows[font_height]) {
    const char text[2] = {static_cast<char>(code), 0};
    clear_to_color(cell, 0);
    textout_ex(cell, font, text, 0, 0, makecol(255, 255, 255), -1);
    if (text_length(font, text) != font_width) return false;
    for (int y = 0; y < font_height; ++y) {
        rows[y] = 0;
        for (int x = 0; x < font_width; ++x)
            if (getpixel(cell, x, y) != 0) rows[y] |= 0x80 >> x;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: export_font <output .cpp>\n");
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "export_font: cannot start Allegro\n");
        return 1;
    }
    set_color_depth(32);
    BITMAP* cell = create_bitmap(2 * font_width, 2 * font_height);
    if (!cell || text_height(font) != font_height) {
        std::fprintf(stderr, "export_font: the font is not %d pixels high\n", font_height);
        return 1;
    }
    FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::fprintf(stderr, "export_font: cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(out, "// Allegro's 8-pixel font, written at build time by tools/export_font.\n");
    std::fprintf(out, "#include \"play/pixel_font.h\"\n\n");
    std::fprintf(out, "const unsigned char font_glyph_rows[font_glyphs][font_height] = {\n");
    bool ok = true;
    for (int code = font_first; code < font_first + font_glyphs; ++code) {
        unsigned char rows[font_height];
        ok = ok && read_glyph(cell, code, rows);
        std::fprintf(out, "    {");
        for (int y = 0; y < font_height; ++y) std::fprintf(out, "0x%02x%s", rows[y], y + 1 < font_height ? ", " : "");
        std::fprintf(out, "},  // %d\n", code);
    }
    std::fprintf(out, "};\n");
    ok = std::fclose(out) == 0 && ok;
    destroy_bitmap(cell);
    if (!ok) std::fprintf(stderr, "export_font: a glyph is not %d pixels wide, or %s was not written\n", font_width, argv[1]);
    return ok ? 0 : 1;
}
