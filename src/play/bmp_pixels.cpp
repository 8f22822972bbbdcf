// A small BMP reader: the three pictures the game generates are 24-bit and bottom-up.
#include "play/bmp_pixels.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

uint32_t u32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
int i32(const unsigned char* p) { return static_cast<int>(u32(p)); }
int u16(const unsigned char* p) { return p[0] | p[1] << 8; }

}  // namespace

bool read_bmp_pixels(const unsigned char* bytes, size_t size, const pixel_format& format, pixel_canvas& out) {
    if (size < 54 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const uint32_t offset = u32(bytes + 10);
    const int w = i32(bytes + 18), stored_h = i32(bytes + 22);
    const int bits = u16(bytes + 28);
    if (u32(bytes + 14) < 40 || u32(bytes + 30) != 0 || (bits != 24 && bits != 32)) return false;
    const int h = std::abs(stored_h);
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
    const size_t stride = (static_cast<size_t>(w) * (bits / 8) + 3) & ~static_cast<size_t>(3);
    if (offset > size || (size - offset) / stride < static_cast<size_t>(h)) return false;
    pixel_canvas picture(w, h);
    for (int y = 0; y < h; ++y) {
        const unsigned char* p = bytes + offset + stride * (stored_h > 0 ? h - 1 - y : y);
        for (int x = 0; x < w; ++x, p += bits / 8) picture.row(y)[x] = format.colour(p[2], p[1], p[0]);
    }
    out = std::move(picture);
    return true;
}
