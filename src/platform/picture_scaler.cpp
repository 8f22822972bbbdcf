// Nearest-neighbour scaling by a whole factor: each source row is widened once and the
// widened row copied k - 1 times, so the work is one write per display pixel.
#include "platform/picture_scaler.h"

#include <cstdint>
#include <cstring>

namespace {

template <int K>
void widen_row(const uint32_t* from, uint32_t* to, int width) {
    for (int x = 0; x < width; ++x)
        for (int j = 0; j < K; ++j) *to++ = from[x];
}

void widen_row_any(const uint32_t* from, uint32_t* to, int width, int k) {
    for (int x = 0; x < width; ++x)
        for (int j = 0; j < k; ++j) *to++ = from[x];
}

}  // namespace

void scale_picture_rows(BITMAP* picture, BITMAP* dest, const picture_layout& at, int top,
                        int bottom) {
    const int k = at.k, width = picture->w;
    const size_t row_bytes = static_cast<size_t>(width) * k * sizeof(uint32_t);
    for (int y = top; y < bottom; ++y) {
        const uint32_t* from = reinterpret_cast<const uint32_t*>(picture->line[y]);
        const int first = at.top + y * k;
        uint32_t* to = reinterpret_cast<uint32_t*>(dest->line[first]) + at.left;
        switch (k) {
            case 1: std::memcpy(to, from, row_bytes); break;
            case 2: widen_row<2>(from, to, width); break;
            case 3: widen_row<3>(from, to, width); break;
            case 4: widen_row<4>(from, to, width); break;
            default: widen_row_any(from, to, width, k); break;
        }
        for (int j = 1; j < k; ++j)
            std::memcpy(reinterpret_cast<uint32_t*>(dest->line[first + j]) + at.left, to, row_bytes);
    }
}
