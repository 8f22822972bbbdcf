// The three falling blocks: bevelled tiles with a dark outline (plain blue with rivets,
// green time block with a clock, purple power block with a bolt). The outline and bevel
// run all round the edge, so each half of a cut block still reads as a solid piece.
#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "art.h"
#include "canvas.h"

namespace {

struct Palette {
    Rgb face_top, face_bottom, bevel_light, bevel_dark, outline;
};

const Palette palettes[3] = {
    {rgb(104, 170, 244), rgb(56, 118, 210), rgb(176, 218, 255), rgb(34, 74, 150), rgb(12, 22, 56)},
    {rgb(96, 214, 124), rgb(44, 160, 84), rgb(170, 246, 178), rgb(24, 100, 52), rgb(8, 44, 22)},
    {rgb(178, 108, 240), rgb(124, 58, 196), rgb(220, 176, 255), rgb(76, 32, 132), rgb(32, 10, 60)},
};

const float half = 32, corner = 8, outline_w = 2.5f, bevel_w = 7.0f;

// Signed distance to the block's rounded square; negative inside.
float block_distance(float x, float y) {
    float qx = std::fabs(x - half) - half + corner, qy = std::fabs(y - half) - half + corner;
    float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.f) - corner;
}

float clamp01(float v) { return std::clamp(v, 0.f, 1.f); }

// How far p lies inside the polygon's outline, in pixels (negative outside).
float polygon_depth(const std::vector<Pt>& poly, float x, float y) {
    bool in = false;
    float best = 1e9f;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        Pt a = poly[j], b = poly[i];
        if ((b.y > y) != (a.y > y) && x < (a.x - b.x) * (y - b.y) / (a.y - b.y) + b.x) in = !in;
        float dx = b.x - a.x, dy = b.y - a.y;
        float t = clamp01(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy));
        best = std::min(best, std::hypot(x - a.x - dx * t, y - a.y - dy * t));
    }
    return in ? best : -best;
}

float segment_distance(Pt a, Pt b, float x, float y) {
    float dx = b.x - a.x, dy = b.y - a.y;
    float t = clamp01(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy));
    return std::hypot(x - a.x - dx * t, y - a.y - dy * t);
}

// The tile without its emblem: outline, bevel lit from the top left, glossy face.
Rgb tile(const Palette& p, float x, float y) {
    float d = block_distance(x, y);
    if (d > -outline_w) return p.outline;
    if (d > -bevel_w) {
        // Which way the edge faces decides whether the bevel catches the light.
        float e = 0.5f;
        float nx = block_distance(x + e, y) - block_distance(x - e, y);
        float ny = block_distance(x, y + e) - block_distance(x, y - e);
        float len = std::hypot(nx, ny);
        float lit = len > 0 ? (nx * -0.6f + ny * -0.8f) / len : 0;
        Rgb mid = mix(p.face_top, p.face_bottom, 0.5f);
        Rgb c = lit > 0 ? mix(mid, p.bevel_light, clamp01(lit * 1.6f)) : mix(mid, p.bevel_dark, clamp01(-lit * 1.6f));
        // A thin dark seam between bevel and face makes the face look set in.
        if (d < -bevel_w + 1.0f) c = mix(c, p.bevel_dark, 0.7f);
        return c;
    }
    Rgb c = mix(p.face_top, p.face_bottom, clamp01((y - bevel_w) / (64 - 2 * bevel_w)));
    // Soft diagonal gloss across the upper left of the face.
    float g = (x + y) - 40;
    if (g < 0 && g > -22) c = mix(c, rgb(255, 255, 255), 0.13f);
    return c;
}

Rgb rivet(Rgb c, const Palette& p, float x, float y, float cx, float cy) {
    float d = std::hypot(x - cx, y - cy);
    if (d > 3.6f) return c;
    if (d > 2.6f) return p.outline;
    float lit = ((x - cx) * -0.6f + (y - cy) * -0.8f) / 2.6f;
    return lit > 0.2f ? p.bevel_light : mix(p.face_top, p.face_bottom, 0.6f);
}

Rgb plain_block(float x, float y) {
    const Palette& p = palettes[0];
    Rgb c = tile(p, x, y);
    if (block_distance(x, y) > -bevel_w) return c;
    for (float cy : {15.f, 49.f})
        for (float cx : {15.f, 49.f}) c = rivet(c, p, x, y, cx, cy);
    // A raised stud in the middle: four facets, lit from the top left.
    float dx = x - 32, dy = y - 32;
    float r = std::fabs(dx) + std::fabs(dy);
    if (r < 12.5f) {
        if (r > 11) return p.outline;
        if (r < 4.5f) return mix(p.face_top, p.bevel_light, 0.35f);
        if (dx <= 0 && dy <= 0) return p.bevel_light;
        if (dx > 0 && dy <= 0) return mix(p.face_top, p.bevel_light, 0.3f);
        if (dx <= 0 && dy > 0) return mix(p.face_bottom, p.bevel_dark, 0.3f);
        return p.bevel_dark;
    }
    return c;
}

Rgb time_block(float x, float y) {
    const Palette& p = palettes[1];
    Rgb c = tile(p, x, y);
    const float cx = 32, cy = 32;
    float r = std::hypot(x - cx, y - cy);
    if (r > 19.5f) return c;
    if (r > 17.5f) return p.outline;
    Rgb face = mix(rgb(255, 255, 248), rgb(214, 226, 214), clamp01((y - 14) / 36));
    if (r > 15.5f) return mix(rgb(255, 224, 120), rgb(214, 150, 40), clamp01((y - 14) / 36));
    c = face;
    // Hour marks: long at 12, 3, 6 and 9, short between.
    float a = std::atan2(y - cy, x - cx) * 6 / 3.14159265f;  // in hours
    float off = std::fabs(a - std::round(a));
    bool major = int(std::lround(a + 12)) % 3 == 0;
    if (r > (major ? 11.0f : 12.8f) && r < 14.6f && off * r * 0.5236f < (major ? 1.1f : 0.7f))
        c = rgb(60, 70, 64);
    // Hands at ten past ten, and a red hub.
    const Pt hub{cx, cy};
    if (segment_distance(hub, Pt{cx - 7.8f, cy - 4.5f}, x, y) < 1.5f) c = rgb(30, 36, 34);
    if (segment_distance(hub, Pt{cx + 9.2f, cy - 9.2f}, x, y) < 1.1f) c = rgb(30, 36, 34);
    if (r < 2.2f) c = rgb(220, 40, 50);
    return c;
}

Rgb power_block(float x, float y) {
    const Palette& p = palettes[2];
    Rgb c = tile(p, x, y);
    static const std::vector<Pt> bolt = {{37, 7}, {18, 36}, {30, 36}, {24, 58}, {47, 25}, {35, 25}, {47, 7}};
    float d = polygon_depth(bolt, x, y);
    if (d < -1.8f) return c;
    if (d < 0.4f) return rgb(60, 28, 8);
    Rgb gold = mix(rgb(255, 248, 150), rgb(255, 176, 24), clamp01((y - 8) / 48));
    // Light inner edge on the upper left of the bolt.
    if (d < 2.0f && polygon_depth(bolt, x + 1.2f, y + 1.6f) > d) gold = mix(gold, rgb(255, 255, 230), 0.6f);
    return gold;
}

// Four by four samples per pixel inside the tile, so the emblems are smooth; the
// outer edge is decided at the pixel centre, so the corners stay hard on magenta.
void paint_block(BITMAP* sheet, int dx, int dy, Rgb (*colour)(float, float)) {
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (block_distance(x + 0.5f, y + 0.5f) > 0) {
                putpixel(sheet, dx + x, dy + y, mask_colour());
                continue;
            }
            Rgb sum;
            for (int j = 0; j < 4; ++j) {
                for (int i = 0; i < 4; ++i) {
                    Rgb c = colour(x + (i + 0.5f) / 4, y + (j + 0.5f) / 4);
                    sum.r += c.r, sum.g += c.g, sum.b += c.b;
                }
            }
            putpixel(sheet, dx + x, dy + y, to_colour(scale(sum, 1.f / 16)));
        }
    }
}

}  // namespace

void draw_blocks(BITMAP* sheet) {
    paint_block(sheet, 0, 64, plain_block);
    paint_block(sheet, 64, 64, time_block);
    paint_block(sheet, 128, 64, power_block);
}
