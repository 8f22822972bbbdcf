// The background picture: one 640 x 100 scene per stage, shown behind the falling blocks
// at rows 184-283 of the field, and the confirm mark of the name entry at (0, 0).
// The scenes are kept dark and soft so the bright, outlined blocks and white text stand
// out, and each fades into the field's grey at its top and bottom.
#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "art.h"
#include "canvas.h"

namespace {

const Rgb field_grey = rgb(40, 40, 40);
const int band_w = 640, band_h = 100;

// Stage bands by top row; stage 1 is the second band from the top of the picture.
const int band_top[5] = {184, 80, 290, 390, 515};

float clamp01(float v) { return std::clamp(v, 0.f, 1.f); }

float smooth(float t) { return t * t * (3 - 2 * t); }

// Deterministic hash noise: the same picture on every build.
float hash01(int x, int y, std::uint32_t seed) {
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return float(h & 0xffffff) / float(0x1000000);
}

float value_noise(float x, float y, std::uint32_t seed) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float fx = smooth(x - ix), fy = smooth(y - iy);
    float a = hash01(ix, iy, seed), b = hash01(ix + 1, iy, seed);
    float c = hash01(ix, iy + 1, seed), d = hash01(ix + 1, iy + 1, seed);
    return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
}

float fbm(float x, float y, std::uint32_t seed) {
    float sum = 0, amp = 0.5f;
    for (int i = 0; i < 4; ++i, x *= 2.03f, y *= 2.03f, amp *= 0.5f) sum += value_noise(x, y, seed + i) * amp;
    return sum / 0.9375f;
}

Rgb gradient(Rgb top, Rgb bottom, float y) { return mix(top, bottom, clamp01(y / (band_h - 1))); }

// A tiny star: a point with a faint cross when bright.
float star(int x, int y, std::uint32_t seed, float density) {
    if (hash01(x, y, seed) > density) return 0;
    return 0.4f + 0.6f * hash01(x, y, seed + 7);
}

// Which building of a row covers column x: buildings of varied widths side by side.
struct Building {
    int id, left, width;
};

Building building_at(int x, std::uint32_t seed, int min_w, int max_w) {
    int left = -int(hash01(0, 0, seed) * min_w), id = 0;
    for (;; ++id) {
        int w = min_w + int(hash01(id, 1, seed) * float(max_w - min_w));
        if (x < left + w) return Building{id, left, w};
        left += w;
    }
}

// Stage 1: a city skyline at dusk, windows lit in the near towers.
Rgb dusk_city(int x, int y) {
    Rgb c = gradient(rgb(30, 28, 68), rgb(122, 64, 104), float(y));
    if (y < 50) c = mix(c, rgb(170, 170, 210), star(x, y, 11, 0.004f) * 0.7f);
    // Far towers: flat tops, one shade lighter than the near ones.
    Building far = building_at(x, 12, 14, 30);
    int far_top = 28 + int(hash01(far.id, 0, 12) * 34);
    if (y >= far_top) c = x == far.left ? rgb(52, 40, 82) : rgb(62, 48, 96);
    // Near towers with a gap between them and rows of windows.
    Building near = building_at(x, 13, 24, 42);
    int lx = x - near.left, w = near.width - 3;
    int near_top = 48 + int(hash01(near.id, 0, 13) * 32);
    if (lx < w && y >= near_top) {
        c = rgb(30, 24, 50);
        if (y == near_top) c = rgb(72, 54, 98);  // last light on the roof edge
        int cols = (w - 4) / 5, margin = (w - cols * 5 + 2) / 2;
        int wx = (lx - margin) / 5, wy = (y - near_top - 4) / 6;
        bool in_window = lx >= margin && wx < cols && (lx - margin) % 5 < 3 && y >= near_top + 4 &&
                         (y - near_top - 4) % 6 < 3;
        if (in_window && hash01(near.id * 16 + wx, wy, 14) < 0.36f)
            c = mix(rgb(232, 190, 96), rgb(200, 120, 70), hash01(wx, wy + near.id, 15));
    }
    // Antennas on some roofs.
    if (near.id % 3 == 1 && lx == w / 2 && y < near_top && y >= near_top - 8) c = rgb(30, 24, 50);
    if (near.id % 3 == 1 && lx == w / 2 && y == near_top - 8) c = rgb(230, 70, 70);
    return c;
}

// Stage 2: pine forest and mountains under a green twilight and a pale moon.
Rgb moon_forest(int x, int y) {
    Rgb c = gradient(rgb(22, 50, 62), rgb(98, 134, 112), float(y));
    float md = std::hypot(x - 470.f, y - 26.f);
    if (md < 30) c = mix(c, rgb(150, 180, 150), (1 - md / 30) * 0.35f);
    if (md < 11) c = mix(rgb(232, 238, 206), rgb(200, 210, 180), clamp01((x - 462.f + y - 20) / 20));
    if (y < 40) c = mix(c, rgb(200, 220, 200), star(x, y, 21, 0.003f) * 0.6f);
    // Ridged mountains, then rounded hills.
    float ridge = 38 + 22 * std::fabs(fbm(x / 90.f, 0.5f, 22) * 2 - 1) - 10 * fbm(x / 30.f, 1.5f, 23);
    if (y > ridge) c = mix(rgb(60, 96, 96), rgb(48, 80, 80), clamp01((y - ridge) / 30));
    float hills = 64 + 10 * std::sin(x / 53.f) + 6 * fbm(x / 40.f, 3.5f, 24);
    if (y > hills) c = rgb(34, 66, 58);
    // A row of pines in front: each a triangle on the floor line.
    int tree_w = 18, tid = (x + 5) / tree_w;
    float tx = float((x + 5) % tree_w) - tree_w / 2.f;
    float tree_h = 20 + hash01(tid, 0, 25) * 18;
    float base = 99;
    float top = base - tree_h;
    if (y > top && std::fabs(tx) < (y - top) * 0.36f) c = rgb(20, 42, 36);
    if (y > 92) c = rgb(20, 42, 36);
    return c;
}

// Stage 3: the sun setting over the sea, off to the right so the middle stays calm.
Rgb sunset_sea(int x, int y) {
    const int horizon = 60;
    const float sun_x = 448, sun_r = 26;
    if (y < horizon) {
        Rgb c = y < 36 ? mix(rgb(58, 26, 70), rgb(158, 62, 78), y / 36.f)
                       : mix(rgb(158, 62, 78), rgb(214, 112, 72), (y - 36) / float(horizon - 36));
        float d = std::hypot(x - sun_x, y - float(horizon));
        if (d < sun_r + 14) c = mix(c, rgb(250, 170, 90), (1 - (d - sun_r) / 14) * 0.45f * (d > sun_r));
        // The sun, sliced by thin bands that widen towards the horizon.
        int below = horizon - y;
        bool slice = below < 16 && (below % 5) < (16 - below) / 5 + 1 && below % 5 == 0;
        if (d < sun_r && !slice) c = mix(rgb(255, 232, 140), rgb(255, 150, 70), clamp01((y - 34.f) / 26));
        // Low clouds drifting across.
        float cloud = fbm(x / 70.f, y / 9.f, 31);
        if (y > 14 && y < 44 && cloud > 0.62f) c = mix(c, rgb(96, 40, 78), clamp01((cloud - 0.62f) * 8) * 0.8f);
        // Islands on the horizon.
        float island = 6 * fbm(x / 25.f, 0.3f, 32) - 2;
        if (x > 150 && x < 280 && y > horizon - island - 3 * std::sin((x - 150) / 130.f * 3.14159f)) c = rgb(44, 24, 52);
        return c;
    }
    Rgb c = mix(rgb(58, 44, 96), rgb(22, 22, 52), (y - horizon) / float(band_h - horizon));
    // Glints on the water: short dashes, thick under the sun and sparse elsewhere.
    float under_sun = clamp01(1 - std::fabs(x - sun_x) / (sun_r + (y - horizon) * 1.4f));
    float wave = value_noise(x / 9.f, y * 0.9f, 33);
    if (wave > 0.78f - under_sun * 0.3f && (y - horizon) % 3 == 1)
        c = mix(c, rgb(255, 180, 100), 0.35f + under_sun * 0.5f);
    return c;
}

// Stage 4: a factory wall at night: riveted panels, pipes, warning lamps, hazard stripes.
Rgb factory(int x, int y) {
    Rgb c = mix(rgb(50, 54, 64), rgb(36, 38, 46), y / 99.f);
    c = scale(c, 0.94f + 0.1f * fbm(x / 20.f, y / 20.f, 41));
    int px = x % 80, py = y % 50;
    if (px == 0 || py == 0) c = rgb(26, 28, 34);
    if (px == 1 || py == 1) c = rgb(66, 70, 82);
    if ((px == 6 || px == 73) && (py == 6 || py == 43)) c = rgb(90, 96, 110);
    // Horizontal pipe with a round-looking shade, and vertical pipes dropping from it.
    auto pipe = [&](float across, float r, Rgb base) {
        float n = across / r;  // -1 top/left edge, 1 bottom/right edge
        return scale(base, 1.15f - 0.55f * n * n - 0.25f * n);
    };
    if (y >= 16 && y <= 27) c = pipe(y - 21.5f, 6, rgb(96, 104, 120));
    if (y >= 16 && y <= 27 && x % 120 < 3) c = rgb(40, 42, 52);  // flanges
    int vx = (x + 40) % 160;
    if (y > 27 && y < 88 && vx >= 0 && vx <= 8) c = pipe(vx - 4.f, 5, rgb(84, 92, 108));
    // Amber lamps over the doors.
    float lamp = std::hypot(float((x + 120) % 240) - 120.f, y - 44.f);
    if (lamp < 18) c = mix(c, rgb(200, 120, 40), (1 - lamp / 18) * 0.3f);
    if (lamp < 4) c = rgb(255, 190, 80);
    if (y >= 86) {
        bool stripe = ((x + y) / 10) % 2 == 0;
        c = stripe ? rgb(150, 116, 30) : rgb(30, 30, 34);
        if (y == 86) c = rgb(20, 20, 24);
    }
    return c;
}

// Stage 5: deep space: nebula, stars and a ringed planet.
Rgb deep_space(int x, int y) {
    Rgb c = rgb(10, 10, 26);
    float n = fbm(x / 110.f, y / 40.f, 51);
    float m = fbm(x / 60.f + 9, y / 30.f, 52);
    c = mix(c, rgb(92, 36, 120), clamp01((n - 0.45f) * 2.2f) * 0.8f);
    c = mix(c, rgb(26, 96, 120), clamp01((m - 0.55f) * 2.6f) * 0.7f);
    float s = star(x, y, 53, 0.006f);
    c = mix(c, rgb(230, 236, 255), s);
    // Ringed planet at the left, lit from the top left.
    const float px = 150, py = 50, r = 22;
    float dx = x - px, dy = y - py, d = std::hypot(dx, dy);
    // Ring: an ellipse tilted a little, passing behind the planet at the top.
    float rx = dx * 0.97f + dy * 0.25f, ry = -dx * 0.25f + dy * 0.97f;
    float ring = std::hypot(rx / 38.f, ry / 9.f);
    bool on_ring = ring > 0.8f && ring < 1.0f;
    if (on_ring && ry < 0) c = mix(rgb(200, 170, 130), rgb(150, 120, 100), ring);
    if (d < r) {
        float band_shade = 0.5f + 0.5f * std::sin(dy / 3.2f + fbm(x / 8.f, y / 8.f, 54) * 2);
        Rgb p = mix(rgb(196, 120, 80), rgb(236, 176, 120), band_shade);
        float lit = clamp01(((-dx - dy) / r * 0.5f + 0.6f));
        c = mix(rgb(40, 20, 30), p, lit);
    }
    if (on_ring && ry >= 0) c = mix(rgb(220, 190, 150), rgb(160, 130, 104), ring);
    return c;
}

Rgb (*const scenes[5])(int, int) = {dusk_city, moon_forest, sunset_sea, factory, deep_space};

void paint_band(BITMAP* bmp, int top, Rgb (*scene)(int, int)) {
    const int fade = 8;
    for (int y = 0; y < band_h; ++y) {
        float edge = std::min(y, band_h - 1 - y);
        float keep = smooth(clamp01((edge + 1) / float(fade)));
        for (int x = 0; x < band_w; ++x) putpixel(bmp, x, top + y, to_colour(mix(field_grey, scene(x, y), keep)));
    }
}

// The name entry's confirm mark: "OK" and a tick on a green plate, 23 x 9, copied
// unmasked onto the grey backdrop, so its rounded corners are that grey.
void confirm_mark(BITMAP* bmp) {
    static const char* const rows[9] = {
        " ##################### ",
        "#+++++++++++++++++++++#",
        "#...WW...W..W.....@@..#",
        "#..W..W..W.W.....@@...#",
        "#..W..W..WW...@.@@....#",
        "#..W..W..W.W..@@@.....#",
        "#...WW...W..W..@......#",
        "#.....................#",
        " ##################### ",
    };
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 23; ++x) {
            Rgb c = field_grey;
            switch (rows[y][x]) {
                case '#': c = rgb(14, 58, 30); break;
                case '+': c = rgb(70, 170, 96); break;
                case '.': c = rgb(36, 128, 64); break;
                case 'W': c = rgb(255, 255, 255); break;
                case '@': c = rgb(210, 255, 140); break;
                default: break;
            }
            putpixel(bmp, x, y, to_colour(c));
        }
    }
}

}  // namespace

void draw_background(BITMAP* picture) {
    clear_to_color(picture, to_colour(field_grey));
    for (int stage = 0; stage < 5; ++stage) paint_band(picture, band_top[stage], scenes[stage]);
    confirm_mark(picture);
}
