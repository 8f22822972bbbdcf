// Supersampled painting for the sprites: shapes are point-sampled several times per
// pixel, then resolved to hard-edged pixels on magenta, so masked drawing shows no fringe.
#pragma once

#include <vector>

struct BITMAP;

struct Rgb {
    float r = 0, g = 0, b = 0;
};

struct Pt {
    float x = 0, y = 0;
};

Rgb rgb(int r, int g, int b);
Rgb mix(Rgb a, Rgb b, float t);
Rgb scale(Rgb c, float k);
// Allegro colour of c in the current colour depth, channels clamped to 0..255.
int to_colour(Rgb c);
// The transparent colour of every masked sprite and banner.
int mask_colour();

// Three cel tones; a shape picks one by how much its surface faces the light (top left).
struct Tones {
    Rgb light, mid, dark;
};
Tones flat(Rgb c);

class Canvas {
public:
    Canvas(int w, int h, int ss = 4);

    // Every shape may first be drawn grown by `ink` pixels in the ink colour, which gives
    // the dark line art between overlapping parts.
    void ellipse(Pt c, float rx, float ry, float angle_deg, const Tones& t, float ink = 0);
    // A limb: a segment with rounded ends, its radius going from r0 to r1.
    void capsule(Pt a, Pt b, float r0, float r1, const Tones& t, float ink = 0);
    // A polyline drawn as a chain of capsules with one radius.
    void stroke(const std::vector<Pt>& pts, float r, const Tones& t, float ink = 0);
    void polygon(const std::vector<Pt>& pts, const Tones& t, float ink = 0);

    void set_ink(Rgb c) { ink_ = c; }

    // Writes the picture at (dx, dy): pixels at least half covered become opaque, the rest
    // magenta; with a rim, transparent pixels touching the shape take the rim colour.
    void resolve(BITMAP* dst, int dx, int dy, const Rgb* rim) const;

private:
    struct Sample {
        Rgb c;
        bool on = false;
    };
    template <class Inside, class Shade>
    void fill(float x0, float y0, float x1, float y1, Inside inside, Shade shade);

    int w_, h_, ss_;
    Rgb ink_;
    std::vector<Sample> px_;
};
