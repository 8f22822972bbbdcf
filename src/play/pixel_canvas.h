// A picture as plain 32-bit pixels, and the few ways the round draws on one, each filling
// exactly the pixels Allegro's own call fills on a 32-bit memory bitmap. Needs no Allegro,
// so the round's picture can be drawn where there is none (the browser).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Pixels as a 32-bit memory bitmap holds them: 0x00RRGGBB.
constexpr uint32_t rgb32(int r, int g, int b) {
    return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}
// Sprites and masked copies leave pixels of this colour out.
constexpr uint32_t mask_colour = rgb32(255, 0, 255);

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
