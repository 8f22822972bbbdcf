// The drawing calls over plain pixels, each clipped and covering as Allegro's does.
#include "play/pixel_canvas.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "play/line_walk.h"

pixel_canvas::pixel_canvas(int width, int height, uint32_t fill)
    : w(width), h(height), pixels(static_cast<size_t>(width) * height, fill), cr(width), cb(height) {}

namespace paint {

void set_clip(pixel_canvas& c, int x1, int y1, int x2, int y2) {
    c.cl = std::clamp(x1, 0, c.w - 1);
    c.ct = std::clamp(y1, 0, c.h - 1);
    c.cr = std::clamp(x2 + 1, 0, c.w);
    c.cb = std::clamp(y2 + 1, 0, c.h);
}

void put_pixel(pixel_canvas& c, int x, int y, uint32_t colour) {
    if (x >= c.cl && x < c.cr && y >= c.ct && y < c.cb) c.row(y)[x] = colour;
}

void draw_hline(pixel_canvas& c, int x1, int y, int x2, uint32_t colour) {
    if (x1 > x2) std::swap(x1, x2);
    if (y < c.ct || y >= c.cb) return;
    x1 = std::max(x1, c.cl);
    x2 = std::min(x2, c.cr - 1);
    if (x1 <= x2) std::fill(c.row(y) + x1, c.row(y) + x2 + 1, colour);
}

void draw_vline(pixel_canvas& c, int x, int y1, int y2, uint32_t colour) {
    if (y1 > y2) std::swap(y1, y2);
    if (x < c.cl || x >= c.cr) return;
    y1 = std::max(y1, c.ct);
    y2 = std::min(y2, c.cb - 1);
    for (int y = y1; y <= y2; ++y) c.row(y)[x] = colour;
}

void fill_rect(pixel_canvas& c, int x1, int y1, int x2, int y2, uint32_t colour) {
    if (y1 > y2) std::swap(y1, y2);
    for (int y = std::max(y1, c.ct); y <= std::min(y2, c.cb - 1); ++y) draw_hline(c, x1, y, x2, colour);
}

namespace {

struct line_pen {
    pixel_canvas* canvas;
    uint32_t colour;
};

void plot(int x, int y, void* context) {
    line_pen* pen = static_cast<line_pen*>(context);
    put_pixel(*pen->canvas, x, y, pen->colour);
}

}  // namespace

// Straight lines are Allegro's hline and vline; any other walks as its do_line does.
void draw_line(pixel_canvas& c, int x1, int y1, int x2, int y2, uint32_t colour) {
    if (x1 == x2) return draw_vline(c, x1, y1, y2, colour);
    if (y1 == y2) return draw_hline(c, x1, y1, x2, colour);
    line_pen pen{&c, colour};
    walk_line(x1, y1, x2, y2, plot, &pen);
}

namespace {

// Allegro fills polygons a scanline at a time, each edge's x in fixed point; the pixels an
// edge crosses in a row are filled too, so the outline is always covered.
constexpr int fix_shift = 18;

struct edge {
    int top, bottom;  // rows, inclusive
    int x, dx, w;     // left end of the edge's span in the row, step per row, span width
};

edge make_edge(int x1, int y1, int x2, int y2) {
    if (y2 < y1) std::swap(x1, x2), std::swap(y1, y2);
    edge e;
    e.top = y1;
    e.bottom = y2;
    constexpr int one = 1 << fix_shift;
    e.x = x1 * one + one / 2;
    e.dx = y2 != y1 ? (x2 - x1) * one / (y2 - y1) : (x2 - x1) * one * 2;  // a flat edge spans its row
    e.w = std::max(std::abs(e.dx) - 1, 0);
    if (e.dx < 0) e.x += e.dx / 2;
    return e;
}

void insert_by(std::vector<edge>& list, const edge& e, bool by_x) {
    auto at = std::find_if(list.begin(), list.end(), [&](const edge& o) {
        return by_x ? !(o.x < e.x) : !(o.top < e.top);
    });
    list.insert(at, e);
}

// One row: the edges' own spans, and between an edge going in and the next the inside.
void fill_row(pixel_canvas& c, const std::vector<edge>& active, int y, uint32_t colour) {
    int hid = 0, b1 = 0, up = 0, draw = 0;
    for (const edge& e : active) {
        int span = e.w;
        if (e.bottom != y) up = 1 - up;
        else span = e.w >> 1;
        if (e.top == y) span = e.w >> 1;
        const int right = (e.x + span) >> fix_shift;
        if (draw < 1 && up >= 1) {
            b1 = right;
        } else if (draw >= 1) {
            const int e1 = e.x >> fix_shift;
            hid = std::max(hid, b1 + 1);
            if (hid <= e1 - 1) draw_hline(c, hid, y, e1 - 1, colour);
            b1 = right;
        }
        hid = std::max(hid, e.x >> fix_shift);
        if (hid <= right) {
            draw_hline(c, hid, y, right, colour);
            hid = right + 1;
        }
        draw = up;
    }
}

}  // namespace

void fill_triangle(pixel_canvas& c, int x1, int y1, int x2, int y2, int x3, int y3, uint32_t colour) {
    const int xs[3] = {x1, x2, x3}, ys[3] = {y1, y2, y3};
    // Past where the fixed point holds a flat edge, Allegro's x wraps around; here nothing
    // is drawn (and a far corner cannot cost millions of rows).
    for (int i = 0; i < 3; ++i)
        if (std::abs(xs[i]) > 2000 || std::abs(ys[i]) > 2000) return;
    std::vector<edge> waiting;  // by top
    int top = INT_MAX, bottom = INT_MIN;
    for (int i = 0, j = 2; i < 3; j = i++) {
        const edge e = make_edge(xs[i], ys[i], xs[j], ys[j]);
        top = std::min(top, e.top);
        bottom = std::max(bottom, e.bottom);
        insert_by(waiting, e, false);
    }
    bottom = std::min(bottom, c.cb - 1);
    std::vector<edge> active;  // by x
    for (int y = top; y <= bottom; ++y) {
        while (!waiting.empty() && waiting.front().top == y) {
            insert_by(active, waiting.front(), true);
            waiting.erase(waiting.begin());
        }
        fill_row(c, active, y, colour);
        std::vector<edge> next;
        for (edge e : active) {
            if (y >= e.bottom) continue;
            e.x += e.dx;
            // The first and last rows hold half a row's step.
            if (e.top == y && e.dx > 0) e.x -= e.dx / 2;
            if (e.bottom == y + 1 && e.dx < 0) e.x -= e.dx / 2;
            auto at = next.end();
            while (at != next.begin() && e.x < (at - 1)->x) --at;
            next.insert(at, e);
        }
        active.swap(next);
    }
}

namespace {

// Clips a copy of a w x h block: to the source's bounds, then to the destination's clip.
bool clip_copy(const pixel_canvas& src, const pixel_canvas& dest, int& sx, int& sy, int& dx, int& dy, int& w, int& h) {
    if (sx >= src.w || sy >= src.h || dx >= dest.cr || dy >= dest.cb) return false;
    if (sx < 0) w += sx, dx -= sx, sx = 0;
    if (sy < 0) h += sy, dy -= sy, sy = 0;
    w = std::min(w, src.w - sx);
    h = std::min(h, src.h - sy);
    if (dx < dest.cl) w -= dest.cl - dx, sx += dest.cl - dx, dx = dest.cl;
    if (dy < dest.ct) h -= dest.ct - dy, sy += dest.ct - dy, dy = dest.ct;
    w = std::min(w, dest.cr - dx);
    h = std::min(h, dest.cb - dy);
    return w > 0 && h > 0;
}

}  // namespace

void blit(const pixel_canvas& src, pixel_canvas& dest, int sx, int sy, int dx, int dy, int w, int h) {
    if (!clip_copy(src, dest, sx, sy, dx, dy, w, h)) return;
    for (int y = 0; y < h; ++y) std::memmove(dest.row(dy + y) + dx, src.row(sy + y) + sx, w * sizeof(uint32_t));
}

void masked_blit(const pixel_canvas& src, pixel_canvas& dest, int sx, int sy, int dx, int dy, int w, int h) {
    if (!clip_copy(src, dest, sx, sy, dx, dy, w, h)) return;
    for (int y = 0; y < h; ++y) {
        const uint32_t* from = src.row(sy + y) + sx;
        uint32_t* to = dest.row(dy + y) + dx;
        for (int x = 0; x < w; ++x)
            if (from[x] != mask_colour) to[x] = from[x];
    }
}

void draw_sprite(pixel_canvas& dest, const pixel_canvas& sprite, int x, int y) {
    masked_blit(sprite, dest, 0, 0, x, y, sprite.w, sprite.h);
}

void draw_sprite_h_flip(pixel_canvas& dest, const pixel_canvas& sprite, int x, int y) {
    const int left = std::max(x, dest.cl), right = std::min(x + sprite.w, dest.cr);
    const int top = std::max(y, dest.ct), bottom = std::min(y + sprite.h, dest.cb);
    for (int py = top; py < bottom; ++py) {
        const uint32_t* from = sprite.row(py - y);
        uint32_t* to = dest.row(py);
        for (int px = left; px < right; ++px) {
            const uint32_t p = from[sprite.w - 1 - (px - x)];
            if (p != mask_colour) to[px] = p;
        }
    }
}

}  // namespace paint
