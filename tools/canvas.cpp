// Supersampled shape painting, resolved to masked pixels.
#include "canvas.h"

#include <allegro.h>

#include <algorithm>
#include <cmath>

Rgb rgb(int r, int g, int b) { return Rgb{float(r), float(g), float(b)}; }

Rgb mix(Rgb a, Rgb b, float t) {
    return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb c, float k) { return Rgb{c.r * k, c.g * k, c.b * k}; }

static int channel(float v) { return std::clamp(int(std::lround(v)), 0, 255); }

int to_colour(Rgb c) {
    int r = channel(c.r), g = channel(c.g), b = channel(c.b);
    // A picture's own colour must never read as the mask.
    if (r == 255 && g == 0 && b == 255) g = 1;
    return makecol(r, g, b);
}

int mask_colour() { return makecol(255, 0, 255); }

Tones flat(Rgb c) { return Tones{c, c, c}; }

// Cel tone for a surface normal (nx, ny) inside the unit disc, lit from the top left.
static Rgb tone(const Tones& t, float nx, float ny) {
    float d = nx * -0.54f + ny * -0.84f;
    if (d > 0.42f) return t.light;
    if (d < -0.38f) return t.dark;
    return t.mid;
}

Canvas::Canvas(int w, int h, int ss)
    : w_(w), h_(h), ss_(ss), ink_(rgb(24, 16, 34)), px_(size_t(w * ss) * size_t(h * ss)) {}

template <class Inside, class Shade>
void Canvas::fill(float x0, float y0, float x1, float y1, Inside inside, Shade shade) {
    int sx0 = std::max(0, int(std::floor(x0 * ss_)));
    int sy0 = std::max(0, int(std::floor(y0 * ss_)));
    int sx1 = std::min(w_ * ss_ - 1, int(std::ceil(x1 * ss_)));
    int sy1 = std::min(h_ * ss_ - 1, int(std::ceil(y1 * ss_)));
    for (int sy = sy0; sy <= sy1; ++sy) {
        for (int sx = sx0; sx <= sx1; ++sx) {
            float x = (sx + 0.5f) / ss_, y = (sy + 0.5f) / ss_;
            if (!inside(x, y)) continue;
            Sample& s = px_[size_t(sy) * size_t(w_ * ss_) + size_t(sx)];
            s.c = shade(x, y);
            s.on = true;
        }
    }
}

void Canvas::ellipse(Pt c, float rx, float ry, float angle_deg, const Tones& t, float ink) {
    float a = angle_deg * 3.14159265f / 180.f, ca = std::cos(a), sa = std::sin(a);
    auto local = [=](float x, float y, float grow) {
        float dx = x - c.x, dy = y - c.y;
        float u = (dx * ca + dy * sa) / (rx + grow), v = (-dx * sa + dy * ca) / (ry + grow);
        return Pt{u, v};
    };
    float r = std::max(rx, ry) + ink + 1;
    if (ink > 0) {
        fill(c.x - r, c.y - r, c.x + r, c.y + r,
             [&](float x, float y) {
                 Pt p = local(x, y, ink);
                 return p.x * p.x + p.y * p.y <= 1;
             },
             [&](float, float) { return ink_; });
    }
    fill(c.x - r, c.y - r, c.x + r, c.y + r,
         [&](float x, float y) {
             Pt p = local(x, y, 0);
             return p.x * p.x + p.y * p.y <= 1;
         },
         [&](float x, float y) {
             Pt p = local(x, y, 0);
             // Back into screen orientation so the light stays top left when rotated.
             return tone(t, p.x * ca - p.y * sa, p.x * sa + p.y * ca);
         });
}

// Closest point on segment ab to p, and where along it (0..1).
static Pt closest(Pt a, Pt b, Pt p, float* along) {
    float dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.f, 1.f);
    *along = t;
    return Pt{a.x + dx * t, a.y + dy * t};
}

void Canvas::capsule(Pt a, Pt b, float r0, float r1, const Tones& t, float ink) {
    float r = std::max(r0, r1) + ink + 1;
    float x0 = std::min(a.x, b.x) - r, x1 = std::max(a.x, b.x) + r;
    float y0 = std::min(a.y, b.y) - r, y1 = std::max(a.y, b.y) + r;
    auto inside = [&](float x, float y, float grow) {
        float along;
        Pt q = closest(a, b, Pt{x, y}, &along);
        float rad = r0 + (r1 - r0) * along + grow;
        float dx = x - q.x, dy = y - q.y;
        return dx * dx + dy * dy <= rad * rad;
    };
    if (ink > 0)
        fill(x0, y0, x1, y1, [&](float x, float y) { return inside(x, y, ink); },
             [&](float, float) { return ink_; });
    fill(x0, y0, x1, y1, [&](float x, float y) { return inside(x, y, 0); },
         [&](float x, float y) {
             float along;
             Pt q = closest(a, b, Pt{x, y}, &along);
             float rad = r0 + (r1 - r0) * along;
             return tone(t, (x - q.x) / rad, (y - q.y) / rad);
         });
}

void Canvas::stroke(const std::vector<Pt>& pts, float r, const Tones& t, float ink) {
    if (ink > 0) {
        Tones dark = flat(ink_);
        for (size_t i = 0; i + 1 < pts.size(); ++i) capsule(pts[i], pts[i + 1], r + ink, r + ink, dark);
    }
    for (size_t i = 0; i + 1 < pts.size(); ++i) capsule(pts[i], pts[i + 1], r, r, t);
}

static bool in_polygon(const std::vector<Pt>& p, float x, float y) {
    bool in = false;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        if ((p[i].y > y) != (p[j].y > y) &&
            x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
            in = !in;
    }
    return in;
}

static float edge_distance(const std::vector<Pt>& p, float x, float y) {
    float best = 1e9f;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        float along;
        Pt q = closest(p[j], p[i], Pt{x, y}, &along);
        best = std::min(best, std::hypot(x - q.x, y - q.y));
    }
    return best;
}

void Canvas::polygon(const std::vector<Pt>& pts, const Tones& t, float ink) {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (Pt p : pts) {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    float cy = (y0 + y1) / 2, hy = std::max(1.f, (y1 - y0) / 2);
    if (ink > 0)
        fill(x0 - ink - 1, y0 - ink - 1, x1 + ink + 1, y1 + ink + 1,
             [&](float x, float y) { return in_polygon(pts, x, y) || edge_distance(pts, x, y) <= ink; },
             [&](float, float) { return ink_; });
    // Polygons are flat-ish pieces (blades, cloth): shade them by height only.
    fill(x0, y0, x1, y1, [&](float x, float y) { return in_polygon(pts, x, y); },
         [&](float, float y) { return tone(t, 0, (y - cy) / hy * 0.6f); });
}

void Canvas::resolve(BITMAP* dst, int dx, int dy, const Rgb* rim) const {
    const int n = ss_ * ss_;
    std::vector<char> solid(size_t(w_ * h_), 0);
    std::vector<Rgb> colour(size_t(w_ * h_));
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            Rgb sum;
            int on = 0;
            for (int j = 0; j < ss_; ++j) {
                for (int i = 0; i < ss_; ++i) {
                    const Sample& s = px_[size_t(y * ss_ + j) * size_t(w_ * ss_) + size_t(x * ss_ + i)];
                    if (!s.on) continue;
                    sum.r += s.c.r, sum.g += s.c.g, sum.b += s.c.b;
                    ++on;
                }
            }
            if (on * 2 >= n) {
                solid[size_t(y * w_ + x)] = 1;
                colour[size_t(y * w_ + x)] = scale(sum, 1.f / float(on));
            }
        }
    }
    auto is_solid = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w_ && y < h_ && solid[size_t(y * w_ + x)];
    };
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            int c = mask_colour();
            if (is_solid(x, y)) {
                c = to_colour(colour[size_t(y * w_ + x)]);
            } else if (rim && (is_solid(x - 1, y) || is_solid(x + 1, y) || is_solid(x, y - 1) ||
                               is_solid(x, y + 1))) {
                c = to_colour(*rim);
            }
            putpixel(dst, dx + x, dy + y, c);
        }
    }
}
