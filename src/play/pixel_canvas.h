// A picture as plain 32-bit pixels, and the few ways the round draws on one, each filling
// exactly the pixels Allegro's own call fills on a 32-bit memory bitmap. Needs no Allegro,
// so the round's picture can be drawn where there is none (the browser).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Where red, green and blue lie in a 32-bit pixel. Allegro picks it per display: 0x00RRGGBB
// on a usual X display, red in the low byte without one, which is also a browser canvas's
// byte order. The sheets and the colours of one picture share it.
struct pixel_format {
    int red_shift = 16, green_shift = 8, blue_shift = 0;

    constexpr uint32_t colour(int r, int g, int b) const {
        return static_cast<uint32_t>(r) << red_shift | static_cast<uint32_t>(g) << green_shift |
               static_cast<uint32_t>(b) << blue_shift;
    }
};
// Sprites and masked copies leave out magenta, which reads the same in either byte order.
constexpr uint32_t mask_colour = 0xFF00FF;

struct pixel_canvas {
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;  // row after row
    // Drawing is clipped to [cl, cr) x [ct, cb), as a bitmap's clip rectangle.
    int cl = 0, ct = 0, cr = 0, cb = 0;

    pixel_canvas() = default;
    pixel_canvas(int width, int height, uint32_t fill = 0);

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * w + x]; }
    uint32_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * w; }
    const uint32_t* row(int y) const { return pixels.data() + static_cast<size_t>(y) * w; }
};

// Named as Allegro's calls, in a namespace of their own so both can be used side by side.
namespace paint {

// The corners are inclusive and clamped to the canvas, as set_clip_rect takes them.
void set_clip(pixel_canvas& c, int x1, int y1, int x2, int y2);

void put_pixel(pixel_canvas& c, int x, int y, uint32_t colour);
// Both ends included, in either order.
void draw_hline(pixel_canvas& c, int x1, int y, int x2, uint32_t colour);
void draw_vline(pixel_canvas& c, int x, int y1, int y2, uint32_t colour);
void fill_rect(pixel_canvas& c, int x1, int y1, int x2, int y2, uint32_t colour);
void draw_line(pixel_canvas& c, int x1, int y1, int x2, int y2, uint32_t colour);
void fill_triangle(pixel_canvas& c, int x1, int y1, int x2, int y2, int x3, int y3, uint32_t colour);

// A w x h part of src at (sx, sy) copied to (dx, dy); the masked copy leaves mask_colour out.
void blit(const pixel_canvas& src, pixel_canvas& dest, int sx, int sy, int dx, int dy, int w, int h);
void masked_blit(const pixel_canvas& src, pixel_canvas& dest, int sx, int sy, int dx, int dy, int w, int h);
// The whole of `sprite` with its top left at (x, y), mask colour left out; mirrored left to right.
void draw_sprite(pixel_canvas& dest, const pixel_canvas& sprite, int x, int y);
void draw_sprite_h_flip(pixel_canvas& dest, const pixel_canvas& sprite, int x, int y);

}  // namespace paint
