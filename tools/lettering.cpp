// Stroke glyphs for the banners and their rendering from a distance field: every pixel
// is coloured by how far it lies from the nearest pen stroke.
#include "lettering.h"

#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

using Path = std::vector<Pt>;

struct Glyph {
    float width = 0;
    std::vector<Path> strokes;
};

const float pen = 1.3f;  // pen radius in glyph units; caps are 10 units high
const float kPi = 3.14159265f;

// Points along an ellipse arc from a0 to a1 degrees; 90 degrees points down.
Path arc(float cx, float cy, float rx, float ry, float a0, float a1) {
    int n = std::max(4, int(std::fabs(a1 - a0) / 8));
    Path p;
    for (int i = 0; i <= n; ++i) {
        float a = (a0 + (a1 - a0) * float(i) / float(n)) * kPi / 180;
        p.push_back(Pt{cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return p;
}

Path join(Path a, const Path& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::map<char, Glyph>& glyphs() {
    static const std::map<char, Glyph> table = [] {
        std::map<char, Glyph> g;
        g['A'] = {7.6f, {{{0, 10}, {3.8f, 0}, {7.6f, 10}}, {{1.45f, 6.2f}, {6.15f, 6.2f}}}};
        g['B'] = {6.6f,
                  {{{0, 0}, {0, 10}},
                   join(join({{0, 0}, {3.7f, 0}}, arc(3.7f, 2.5f, 2.6f, 2.5f, -90, 90)), {{0, 5}}),
                   join(join({{0, 5}, {4.0f, 5}}, arc(4.0f, 7.5f, 2.6f, 2.5f, -90, 90)), {{0, 10}})}};
        g['C'] = {6.9f, {arc(3.8f, 5, 3.8f, 5, 42, 318)}};
        g['D'] = {7.0f, {{{0, 0}, {0, 10}}, join(join({{0, 0}, {2.6f, 0}}, arc(2.6f, 5, 4.4f, 5, -90, 90)), {{0, 10}})}};
        g['E'] = {5.6f, {{{5.6f, 0}, {0, 0}, {0, 10}, {5.6f, 10}}, {{0, 5}, {4.6f, 5}}}};
        g['G'] = {7.5f, {join(arc(3.9f, 5, 3.9f, 5, -42, -333), {{7.5f, 5.4f}, {4.5f, 5.4f}})}};
        g['H'] = {6.4f, {{{0, 0}, {0, 10}}, {{6.4f, 0}, {6.4f, 10}}, {{0, 5}, {6.4f, 5}}}};
        g['I'] = {0, {{{0, 0}, {0, 10}}}};
        g['K'] = {6.3f, {{{0, 0}, {0, 10}}, {{6.1f, 0}, {0.3f, 6.1f}}, {{2.4f, 3.9f}, {6.3f, 10}}}};
        g['L'] = {5.5f, {{{0, 0}, {0, 10}, {5.5f, 10}}}};
        g['M'] = {8.4f, {{{0, 10}, {0, 0}, {4.2f, 6.4f}, {8.4f, 0}, {8.4f, 10}}}};
        g['N'] = {6.6f, {{{0, 10}, {0, 0}, {6.6f, 10}, {6.6f, 0}}}};
        g['O'] = {7.4f, {arc(3.7f, 5, 3.7f, 5, 0, 360)}};
        g['P'] = {6.3f, {join(join({{0, 10}, {0, 0}, {3.5f, 0}}, arc(3.5f, 2.8f, 2.8f, 2.8f, -90, 90)), {{0, 5.6f}})}};
        g['R'] = {6.6f,
                  {join(join({{0, 10}, {0, 0}, {3.5f, 0}}, arc(3.5f, 2.8f, 2.8f, 2.8f, -90, 90)), {{0, 5.6f}}),
                   {{3.1f, 5.6f}, {6.6f, 10}}}};
        g['S'] = {6.6f, {join(arc(3.3f, 2.55f, 3.1f, 2.55f, -22, -270), arc(3.3f, 7.45f, 3.3f, 2.55f, -90, 158))}};
        g['T'] = {7.0f, {{{0, 0}, {7.0f, 0}}, {{3.5f, 0}, {3.5f, 10}}}};
        g['U'] = {6.6f, {join(join({{0, 0}, {0, 6.7f}}, arc(3.3f, 6.7f, 3.3f, 3.3f, 180, 0)), {{6.6f, 0}})}};
        g['!'] = {0, {{{0, 0}, {0, 6.2f}}, {{0, 9.7f}}}};
        g[' '] = {2.2f, {}};
        // Digits are narrow: the stage number has a 38-pixel strip of its own.
        g['1'] = {4.4f, {{{0.2f, 2.3f}, {2.3f, 0}, {2.3f, 10}}, {{0, 10}, {4.4f, 10}}}};
        g['2'] = {5.3f, {join(arc(2.6f, 2.8f, 2.6f, 2.8f, -165, 22), {{0, 10}, {5.3f, 10}})}};
        g['3'] = {5.3f,
                  {join(arc(2.6f, 2.6f, 2.5f, 2.6f, -160, 90), {{1.4f, 5.2f}}), arc(2.6f, 7.4f, 2.7f, 2.6f, -90, 160)}};
        g['4'] = {5.6f, {{{4.0f, 10}, {4.0f, 0}, {0, 6.8f}, {5.6f, 6.8f}}}};
        g['5'] = {5.3f, {join({{5.0f, 0}, {0.7f, 0}, {0.35f, 4.6f}}, arc(2.65f, 6.9f, 2.65f, 3.1f, -128, 152))}};
        return g;
    }();
    return table;
}

const Glyph& glyph(char c) {
    static const Glyph blank{2.2f, {}};
    auto it = glyphs().find(c);
    return it == glyphs().end() ? blank : it->second;
}

struct Segment {
    Pt a, b;
};

float segment_distance(const Segment& s, float x, float y) {
    float dx = s.b.x - s.a.x, dy = s.b.y - s.a.y, len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? std::clamp(((x - s.a.x) * dx + (y - s.a.y) * dy) / len2, 0.f, 1.f) : 0;
    return std::hypot(x - s.a.x - dx * t, y - s.a.y - dy * t);
}

Rgb fill_colour(const LetterStyle& st, float t) {
    const float waist = 0.52f;
    t = std::clamp(t, 0.f, 1.f);
    return t < waist ? mix(st.top, st.upper, t / waist) : mix(st.lower, st.bottom, (t - waist) / (1 - waist));
}

}  // namespace

float text_width_px(const std::string& text, float cap_px, const LetterStyle& st) {
    float w = 0;
    for (size_t i = 0; i < text.size(); ++i) w += glyph(text[i]).width + (i + 1 < text.size() ? st.tracking : 0);
    return w * cap_px / 10 * st.condense;
}

float text_advance_px(const std::string& text, float cap_px, const LetterStyle& st) {
    return text_width_px(text, cap_px, st) + st.tracking * cap_px / 10 * st.condense;
}

float text_margin_left(float cap_px, const LetterStyle& st) { return pen * cap_px / 10 + st.outline_px; }

float text_margin_right(float cap_px, const LetterStyle& st) {
    return pen * cap_px / 10 + st.outline_px + st.shadow_px.x + st.slant * cap_px * st.condense;
}

float text_margin_top(float cap_px, const LetterStyle& st) { return pen * cap_px / 10 + st.outline_px; }

float text_margin_bottom(float cap_px, const LetterStyle& st) {
    return pen * cap_px / 10 + st.outline_px + st.shadow_px.y;
}

void draw_text(BITMAP* bmp, int cx, int cy, int cw, int ch, float x, float y, float cap_px,
               const std::string& text, const LetterStyle& st) {
    const float s = cap_px / 10, r = pen * s, reach = r + st.outline_px;
    std::vector<float> dist(size_t(cw * ch), 1e9f), shadow(size_t(cw * ch), 1e9f);

    float gx = 0;
    for (char c : text) {
        const Glyph& g = glyph(c);
        std::vector<Segment> segs;
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        for (const Path& p : g.strokes) {
            std::vector<Pt> px;
            for (Pt u : p) {
                Pt q{x + (gx + u.x + st.slant * (10 - u.y)) * s * st.condense, y + u.y * s};
                px.push_back(q);
                x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
            }
            if (px.size() == 1) segs.push_back({px[0], px[0]});
            for (size_t i = 0; i + 1 < px.size(); ++i) segs.push_back({px[i], px[i + 1]});
        }
        gx += g.width + st.tracking;
        if (segs.empty()) continue;
        // Only the pixels near this glyph need its distance.
        int ix0 = std::max(cx, int(std::floor(x0 - reach - 1)));
        int iy0 = std::max(cy, int(std::floor(y0 - reach - 1)));
        int ix1 = std::min(cx + cw - 1, int(std::ceil(x1 + reach + st.shadow_px.x + 1)));
        int iy1 = std::min(cy + ch - 1, int(std::ceil(y1 + reach + st.shadow_px.y + 1)));
        for (int py = iy0; py <= iy1; ++py) {
            for (int px = ix0; px <= ix1; ++px) {
                float fx = px + 0.5f, fy = py + 0.5f;
                size_t i = size_t((py - cy) * cw + (px - cx));
                for (const Segment& sg : segs) {
                    dist[i] = std::min(dist[i], segment_distance(sg, fx, fy));
                    shadow[i] = std::min(shadow[i], segment_distance(sg, fx - st.shadow_px.x, fy - st.shadow_px.y));
                }
            }
        }
    }

    for (int py = cy; py < cy + ch; ++py) {
        for (int px = cx; px < cx + cw; ++px) {
            size_t i = size_t((py - cy) * cw + (px - cx));
            float d = dist[i];
            if (d <= r + 0.5f) {
                float fy = py + 0.5f;
                Rgb c = fill_colour(st, (fy - y) / cap_px);
                // Round the pen line: darker towards its edge...
                float k = std::clamp(d / r, 0.f, 1.f);
                c = scale(c, 1.0f - 0.22f * k * k * k);
                // ...and a soft outer edge into the outline, which stays hard on magenta.
                c = mix(st.outline, c, std::clamp(r + 0.5f - d, 0.f, 1.f));
                putpixel(bmp, px, py, to_colour(c));
            } else if (d <= reach) {
                putpixel(bmp, px, py, to_colour(st.outline));
            } else if (shadow[i] <= reach) {
                putpixel(bmp, px, py, to_colour(st.shadow));
            }
        }
    }
}

void draw_text_centred(BITMAP* bmp, int bx, int by, int bw, int bh, float max_cap_px, const std::string& text,
                       const LetterStyle& st) {
    // Shrink until the text and everything around it fits the box, with a clear pixel
    // or two at each edge so nothing is cut off when the box is copied out.
    float cap = max_cap_px;
    for (; cap > 8; cap -= 0.5f) {
        float w = text_width_px(text, cap, st) + text_margin_left(cap, st) + text_margin_right(cap, st);
        float h = cap + text_margin_top(cap, st) + text_margin_bottom(cap, st);
        if (w <= bw - 4 && h <= bh - 4) break;
    }
    float w = text_width_px(text, cap, st) + text_margin_left(cap, st) + text_margin_right(cap, st);
    float h = cap + text_margin_top(cap, st) + text_margin_bottom(cap, st);
    float x = std::round(bx + (bw - w) / 2 + text_margin_left(cap, st));
    float y = std::round(by + (bh - h) / 2 + text_margin_top(cap, st));
    draw_text(bmp, bx, by, bw, bh, x, y, cap, text, st);
}
