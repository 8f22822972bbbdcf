// The drawing calls over plain pixels against Allegro's own, shape by random shape: every
// pixel, clip rectangles and parts off the picture included.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "play/pixel_canvas.h"
#include "play/pixel_font.h"
#include "support/headless.h"

namespace {

constexpr int width = 64, height = 48;

struct shapes {
    unsigned seed = 29;
    int pick(int n) { return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 16) % n; }
    int x() { return pick(width + 40) - 20; }
    int y() { return pick(height + 40) - 20; }
    uint32_t colour() { return static_cast<uint32_t>(pick(1 << 24)); }
};

// Random pixels, about a third of them the mask colour, in both forms.
void random_sprite(shapes& s, BITMAP*& b, pixel_canvas& c) {
    b = create_bitmap(1 + s.pick(24), 1 + s.pick(24));
    c = pixel_canvas(b->w, b->h);
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x) {
            const uint32_t p = s.pick(3) ? s.colour() : mask_colour;
            putpixel(b, x, y, static_cast<int>(p));
            c.row(y)[x] = p;
        }
}

// Draws one random shape of `kind` both ways; a clip rectangle on every other one.
void draw_both(shapes& s, int kind, int n, BITMAP* b, pixel_canvas& c) {
    const int cx1 = s.x(), cy1 = s.y(), cx2 = s.x(), cy2 = s.y();
    if (n % 2) set_clip_rect(b, cx1, cy1, cx2, cy2), paint::set_clip(c, cx1, cy1, cx2, cy2);
    else set_clip_rect(b, 0, 0, width - 1, height - 1), paint::set_clip(c, 0, 0, width - 1, height - 1);
    int x1 = s.x(), y1 = s.y(), x2 = s.x(), y2 = s.y(), x3 = s.x(), y3 = s.y();
    if (n % 5 == 0) y2 = y1;  // flat edges and upright ones, which the fills treat apart
    if (n % 7 == 0) x3 = x2;
    const uint32_t col = s.colour();
    const int icol = static_cast<int>(col);
    switch (kind) {
        case 0: triangle(b, x1, y1, x2, y2, x3, y3, icol), paint::fill_triangle(c, x1, y1, x2, y2, x3, y3, col); break;
        case 1: line(b, x1, y1, x2, y2, icol), paint::draw_line(c, x1, y1, x2, y2, col); break;
        case 2: rectfill(b, x1, y1, x2, y2, icol), paint::fill_rect(c, x1, y1, x2, y2, col); break;
        case 3:
            hline(b, x1, y1, x2, icol), paint::draw_hline(c, x1, y1, x2, col);
            vline(b, x3, y2, y3, icol), paint::draw_vline(c, x3, y2, y3, col);
            break;
        case 4: {
            BITMAP* sprite;
            pixel_canvas pixels;
            random_sprite(s, sprite, pixels);
            const int w = s.pick(34) - 4, h = s.pick(34) - 4, sx = s.pick(30) - 6, sy = s.pick(30) - 6;
            if (n % 3 == 0) draw_sprite(b, sprite, x1, y1), paint::draw_sprite(c, pixels, x1, y1);
            if (n % 3 == 1) draw_sprite_h_flip(b, sprite, x1, y1), paint::draw_sprite_h_flip(c, pixels, x1, y1);
            if (n % 3 == 2) {
                blit(sprite, b, sx, sy, x1, y1, w, h), paint::blit(pixels, c, sx, sy, x1, y1, w, h);
                masked_blit(sprite, b, sy, sx, x2, y2, h, w), paint::masked_blit(pixels, c, sy, sx, x2, y2, h, w);
            }
            destroy_bitmap(sprite);
            break;
        }
        case 5: {
            std::string text;
            for (int i = s.pick(6); i > 0; --i) text += static_cast<char>(' ' + s.pick(95));
            const char* t = text.c_str();
            if (n % 3 == 0) textout_ex(b, font, t, x1, y1, icol, -1), paint::textout(c, t, x1, y1, col);
            if (n % 3 == 1) textout_right_ex(b, font, t, x1, y1, icol, -1), paint::textout_right(c, t, x1, y1, col);
            if (n % 3 == 2) textout_centre_ex(b, font, t, x1, y1, icol, -1), paint::textout_centre(c, t, x1, y1, col);
            break;
        }
    }
}

const char* const kind_names[] = {"triangle", "line", "rectfill", "hline and vline", "sprites and blits", "text"};

TEST(PixelCanvasTest, EveryCallFillsThePixelsAllegrosOwnFills) {
    testing_support::reset_headless();
    BITMAP* b = create_bitmap(width, height);
    pixel_canvas c(width, height);
    shapes s;
    for (int kind = 0; kind < 6; ++kind) {
        int differ = 0, drawn = 0;
        for (int n = 0; n < 2000; ++n) {
            // Each shape over the last, so a pixel one call leaves alone must stay too.
            if (n % 50 == 0) {
                set_clip_rect(b, 0, 0, width - 1, height - 1);  // Allegro clears within the clip only
                clear_to_color(b, 0);
                std::fill(c.pixels.begin(), c.pixels.end(), 0u);
            }
            draw_both(s, kind, n, b, c);
            bool same = true;
            for (int y = 0; y < height; ++y) same = same && std::memcmp(b->line[y], c.row(y), width * 4) == 0;
            differ += !same;
            if (!same)  // go on from Allegro's picture
                for (int y = 0; y < height; ++y) std::memcpy(c.row(y), b->line[y], width * 4);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) drawn += c.at(x, y) != 0;
        }
        EXPECT_EQ(differ, 0) << kind_names[kind];
        EXPECT_GT(drawn, 2000 * 20) << kind_names[kind] << ": the shapes should mostly be seen";
    }
    destroy_bitmap(b);
}

}  // namespace
