// Whole factors: each source row is widened once and the widened row copied k - 1 times,
// so the work is one write per display pixel. Sharp: the same widening by the factor just
// above the size followed by a linear step down, worked out once per size as a table of
// (pixel, neighbour, weight) for each display column and row; most entries have no
// weight, so most of the work is plain copying, and the edges are blended after it.
#include "platform/picture_scaler.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/picture_size.h"

namespace {

// ---- whole factors ----

template <int K>
void widen_row(const uint32_t* from, uint32_t* to, int width) {
    for (int x = 0; x < width; ++x)
        for (int j = 0; j < K; ++j) *to++ = from[x];
}

void widen_row_any(const uint32_t* from, uint32_t* to, int width, int k) {
    for (int x = 0; x < width; ++x)
        for (int j = 0; j < k; ++j) *to++ = from[x];
}

void widen(const uint32_t* from, uint32_t* to, int width, int k) {
    switch (k) {
        case 1: std::memcpy(to, from, width * sizeof(uint32_t)); break;
        case 2: widen_row<2>(from, to, width); break;
        case 3: widen_row<3>(from, to, width); break;
        case 4: widen_row<4>(from, to, width); break;
        default: widen_row_any(from, to, width, k); break;
    }
}

std::vector<uint32_t> spare_row;

picture_area scale_whole(BITMAP* picture, const pixel_rows& dest, const picture_layout& at, int k,
                         const picture_area& part) {
    // A display smaller than the picture shows its top-left part.
    const int left = at.left + part.left * k;
    const int wide_w = (part.right - part.left) * k;
    const int shown_w = std::min(wide_w, dest.w - left);
    if (shown_w <= 0) return {};
    const bool whole_row_fits = shown_w == wide_w;
    if (!whole_row_fits) spare_row.resize(wide_w);
    const size_t shown_bytes = static_cast<size_t>(shown_w) * sizeof(uint32_t);
    for (int y = part.top; y < part.bottom; ++y) {
        const int first = at.top + y * k;
        if (first >= dest.h) break;
        const uint32_t* from = reinterpret_cast<const uint32_t*>(picture->line[y]) + part.left;
        uint32_t* wide = whole_row_fits ? dest.row(first) + left : spare_row.data();
        widen(from, wide, part.right - part.left, k);
        for (int j = whole_row_fits ? 1 : 0; j < k && first + j < dest.h; ++j)
            std::memcpy(dest.row(first + j) + left, wide, shown_bytes);
    }
    return {left, at.top + part.top * k, left + shown_w, std::min(at.top + part.bottom * k, dest.h)};
}

// ---- sharp ----

// One display column or row: the source pixel it shows and, across an edge, the
// neighbour blended in with `weight`/256.
struct tap {
    int from = 0, next = 0, weight = 0;
};

// Display pixel i of n samples the source (s pixels) widened by K = ceil(n / s) at its
// centre, (i + 1/2) sK / n - 1/2, between the widened pixels on either side.
std::vector<tap> taps_for(int n, int s) {
    const long long K = std::max(1, (n + s - 1) / s);
    std::vector<tap> taps(n);
    for (int i = 0; i < n; ++i) {
        const long long u256 = (2LL * i + 1) * s * K * 256 / (2LL * n) - 128;
        tap& t = taps[i];
        if (u256 < 0) continue;  // the first half pixel: the source's first pixel
        const long long wide = u256 >> 8;
        t.from = static_cast<int>(std::min<long long>(wide / K, s - 1));
        t.next = static_cast<int>(std::min<long long>((wide + 1) / K, s - 1));
        t.weight = t.next == t.from ? 0 : static_cast<int>(u256 & 255);
    }
    return taps;
}

// Each byte of two pixels blended, (a * (256 - take) + b * take) >> 8, two bytes at a time
// in one multiply: no lane can reach the next (255 * 256 < 65536).
uint32_t blend_pixel(uint32_t a, uint32_t b, uint32_t take) {
    const uint32_t keep = 256 - take;
    const uint32_t even = (((a & 0x00ff00ffu) * keep + (b & 0x00ff00ffu) * take) >> 8) & 0x00ff00ffu;
    const uint32_t odd = (((a >> 8) & 0x00ff00ffu) * keep + ((b >> 8) & 0x00ff00ffu) * take) & 0xff00ff00u;
    return even | odd;
}

// Two whole rows blended byte by byte; the fourth byte of each pixel (unused) blends as
// the others do. Four pixels at a time in vector code, and where the two rows agree (most
// of a picture drawn in flat colours) the blend is either row, copied.
void blend_rows(const uint32_t* a, const uint32_t* b, uint32_t* to, int width, int weight) {
    const uint8_t* pa = reinterpret_cast<const uint8_t*>(a);
    const uint8_t* pb = reinterpret_cast<const uint8_t*>(b);
    uint8_t* out = reinterpret_cast<uint8_t*>(to);
    const uint16_t keep = static_cast<uint16_t>(256 - weight), take = static_cast<uint16_t>(weight);
    int i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128(), vkeep = _mm_set1_epi16(static_cast<short>(keep)),
                  vtake = _mm_set1_epi16(static_cast<short>(take));
    for (; i + 16 <= width * 4; i += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pa + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pb + i));
        __m128i blend = va;
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(va, vb)) != 0xffff) {
            // At most 255 * 256 in each 16-bit lane: exact, as the loop below.
            const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), vkeep),
                                                            _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), vtake)), 8);
            const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), vkeep),
                                                            _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), vtake)), 8);
            blend = _mm_packus_epi16(lo, hi);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), blend);
    }
#endif
    for (; i < width * 4; ++i) out[i] = static_cast<uint8_t>((pa[i] * keep + pb[i] * take) >> 8);
}

struct sharp_tables {
    int w = 0, h = 0;
    std::vector<tap> rows;
    // Source pixel i is written to display columns [first_column[i], + widest), left to
    // right, each pixel's writes covering the spill of the one before; the edges after.
    std::vector<int> first_column;
    int widest = 1;
    // The columns that blend a pixel with the next: where, which pixel, and the next's weight.
    std::vector<int> edge_x, edge_from;
    std::vector<uint32_t> edge_take;
    // The last two source rows widened to w, and which rows they are.
    std::vector<uint32_t> wide[2];
    int wide_row[2] = {-1, -1};
};

sharp_tables sharp;

void prepare_sharp(int w, int h) {
    if (sharp.w == w && sharp.h == h) return;
    sharp.w = w;
    sharp.h = h;
    const std::vector<tap> columns = taps_for(w, screen_w);
    sharp.first_column.assign(screen_w + 1, w);
    sharp.edge_x.clear();
    sharp.edge_from.clear();
    sharp.edge_take.clear();
    for (int x = w - 1; x >= 0; --x) sharp.first_column[columns[x].from] = x;
    for (int i = screen_w - 1; i >= 0; --i)  // a pixel no column shows: where the next starts
        sharp.first_column[i] = std::min(sharp.first_column[i], sharp.first_column[i + 1]);
    sharp.widest = 1;
    for (int i = 0; i < screen_w; ++i)
        sharp.widest = std::max(sharp.widest, sharp.first_column[i + 1] - sharp.first_column[i]);
    for (int x = 0; x < w; ++x) {
        const tap& t = columns[x];
        if (!t.weight) continue;
        sharp.edge_x.push_back(x);
        sharp.edge_from.push_back(t.from);  // blended only with t.from + 1
        sharp.edge_take.push_back(static_cast<uint32_t>(t.weight));
    }
    sharp.rows = taps_for(h, screen_h);
    for (int i = 0; i < 2; ++i) {
        sharp.wide[i].assign(w + sharp.widest, 0);  // room for the last pixel's spill
        sharp.wide_row[i] = -1;
    }
}

// Source row y widened to the display's width, from the two-row cache when it is there.
const uint32_t* widened(BITMAP* picture, int y) {
    for (int i = 0; i < 2; ++i)
        if (sharp.wide_row[i] == y) return sharp.wide[i].data();
    const int slot = sharp.wide_row[0] == y - 1 ? 1 : 0;  // keep the row above: it pairs
    const uint32_t* from = reinterpret_cast<const uint32_t*>(picture->line[y]);
    uint32_t* to = sharp.wide[slot].data();
    const int* first = sharp.first_column.data();
    switch (sharp.widest) {
        case 1: for (int i = 0; i < screen_w; ++i) to[first[i]] = from[i]; break;
        case 2: for (int i = 0; i < screen_w; ++i) to[first[i]] = to[first[i] + 1] = from[i]; break;
        default:
            for (int i = 0; i < screen_w; ++i) std::fill_n(to + first[i], sharp.widest, from[i]);
    }
    // An edge column already holds its own pixel; where the neighbour is the same colour
    // (most of a picture drawn in flat colours) that is the blend too.
    const size_t edges = sharp.edge_x.size();
    const int* edge_from = sharp.edge_from.data();
    const int* edge_x = sharp.edge_x.data();
    const uint32_t* take = sharp.edge_take.data();
    for (size_t j = 0; j < edges; ++j) {
        const uint32_t a = from[edge_from[j]], b = from[edge_from[j] + 1];
        if (a != b) to[edge_x[j]] = blend_pixel(a, b, take[j]);
    }
    sharp.wide_row[slot] = y;
    return to;
}

bool row_shows(const tap& t, int top, int bottom) {
    return (t.from >= top && t.from < bottom) || (t.weight && t.next >= top && t.next < bottom);
}

picture_area scale_sharp(BITMAP* picture, const pixel_rows& dest, const picture_layout& at, int top,
                         int bottom) {
    prepare_sharp(at.w, at.h);
    // The picture may have changed since the cache was filled.
    sharp.wide_row[0] = sharp.wide_row[1] = -1;
    int y = 0;
    while (y < at.h && !row_shows(sharp.rows[y], top, bottom)) ++y;
    const int first = y;
    const int shown_w = std::min(at.w, dest.w - at.left);
    for (; y < at.h && row_shows(sharp.rows[y], top, bottom) && at.top + y < dest.h; ++y) {
        const tap& t = sharp.rows[y];
        uint32_t* to = dest.row(at.top + y) + at.left;
        const uint32_t* a = widened(picture, t.from);
        if (!t.weight) {
            std::memcpy(to, a, shown_w * sizeof(uint32_t));
            continue;
        }
        blend_rows(a, widened(picture, t.next), to, shown_w, t.weight);
    }
    return {at.left, at.top + first, at.left + shown_w, at.top + y};
}

}  // namespace

pixel_rows rows_of(BITMAP* bitmap) {
    pixel_rows rows;
    rows.base = bitmap->line[0];
    rows.pitch = bitmap->h > 1 ? bitmap->line[1] - bitmap->line[0] : bitmap->w * 4L;
    rows.w = bitmap->w;
    rows.h = bitmap->h;
    return rows;
}

picture_area scale_picture_part(BITMAP* picture, const pixel_rows& dest, const picture_layout& at,
                                const picture_area& part) {
    const int k = at.w / screen_w;
    if (k >= 1 && at.w == screen_w * k && at.h == screen_h * k) return scale_whole(picture, dest, at, k, part);
    // Each display column blends two source columns: whole rows, which cost little more.
    return scale_sharp(picture, dest, at, part.top, part.bottom);
}
