// The picture on bigger displays: the scalers, where the picture and the window go, and how
// the pointer maps back.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/desktop_facts.h"
#include "platform/display_layout.h"
#include "platform/picture_scaler.h"
#include "support/headless.h"

using namespace testing_support;

// A picture whose neighbours differ in every channel, so any blend shows.
BITMAP* busy_picture() {
    BITMAP* picture = create_bitmap(640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            putpixel(picture, x, y, rgb((x * 37 + y * 11) % 256, (x * 101 + y * 57) % 256, (x * 13 + y * 151) % 256));
    return picture;
}

// Alpha bits the scaler never writes: a pixel that keeps it was not written.
constexpr int unwritten = static_cast<int>(0xff0000ffu);

TEST(picture_scaler, every_pixel_becomes_a_k_by_k_block_and_the_border_stays_black) {
    reset_headless();
    BITMAP* picture = busy_picture();
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        const picture_layout at{7, 5, 640 * k, 480 * k};
        BITMAP* display = create_bitmap(640 * k + 14, 480 * k + 10);
        clear_to_color(display, 0);
        const picture_area all = scale_picture_part(picture, rows_of(display), at, {0, 0, 640, 480});
        EXPECT_EQ(all.top, 5);
        EXPECT_EQ(all.bottom, 5 + 480 * k);
        int wrong = 0;
        for (int y = 0; y < display->h; ++y)
            for (int x = 0; x < display->w; ++x) {
                const bool inside = on_picture(at, x, y);
                const int want = inside ? pixel(picture, (x - 7) / k, (y - 5) / k) : 0;
                wrong += pixel(display, x, y) != want;
            }
        EXPECT_EQ(wrong, 0);
        // A band of rows touches only its own k-fold rows.
        clear_to_color(display, 0);
        const picture_area band = scale_picture_part(picture, rows_of(display), at, {0, 100, 640, 102});
        EXPECT_EQ(band.top, 5 + 100 * k);
        EXPECT_EQ(band.bottom, 5 + 102 * k);
        EXPECT_EQ(pixel(display, 7, 5 + 100 * k - 1), 0);
        EXPECT_EQ(pixel(display, 7, 5 + 100 * k), pixel(picture, 0, 100));
        EXPECT_EQ(pixel(display, 7, 5 + 102 * k - 1), pixel(picture, 0, 101));
        EXPECT_EQ(pixel(display, 7, 5 + 102 * k), 0);
        // A small part touches its own k x k blocks and nothing beside them.
        clear_to_color(display, unwritten);
        const picture_area part = scale_picture_part(picture, rows_of(display), at, {300, 100, 303, 102});
        EXPECT_EQ(part.left, 7 + 300 * k);
        EXPECT_EQ(part.top, 5 + 100 * k);
        EXPECT_EQ(part.right, 7 + 303 * k);
        EXPECT_EQ(part.bottom, 5 + 102 * k);
        int outside = 0, inside = 0;
        for (int y = 0; y < display->h; ++y)
            for (int x = 0; x < display->w; ++x) {
                const bool in = x >= part.left && x < part.right && y >= part.top && y < part.bottom;
                if (in) inside += pixel(display, x, y) == pixel(picture, (x - 7) / k, (y - 5) / k);
                else outside += pixel(display, x, y) != unwritten;
            }
        EXPECT_EQ(inside, 6 * k * k);
        EXPECT_EQ(outside, 0);
        destroy_bitmap(display);
    }
    // A display smaller than the picture gets its top-left part and nothing past its edges.
    BITMAP* small = create_bitmap(600, 400);
    const picture_area cut = scale_picture_part(picture, rows_of(small), {0, 0, 640, 480}, {0, 0, 640, 480});
    EXPECT_EQ(cut.bottom, 400);
    EXPECT_EQ(pixel(small, 599, 399), pixel(picture, 599, 399));
    const picture_area edge = scale_picture_part(picture, rows_of(small), {0, 0, 640, 480}, {590, 10, 640, 12});
    EXPECT_EQ(edge.right, 600);
    EXPECT_EQ(pixel(small, 599, 11), pixel(picture, 599, 11));
    destroy_bitmap(small);
    destroy_bitmap(picture);
}

// Source pixels [first, last] that the display pixel's footprint covers on one axis.
void footprint(int i, int n, int s, int* first, int* last) {
    *first = static_cast<int>(static_cast<long long>(i) * s / n);
    *last = static_cast<int>((static_cast<long long>(i + 1) * s - 1) / n);
}

TEST(picture_scaler, sharp_keeps_each_pixel_exact_and_blends_only_its_edges) {
    reset_headless();
    BITMAP* picture = busy_picture();
    const int sizes[][2] = {{1024, 768}, {1067, 800}, {1200, 900}, {1888, 1416}, {1440, 1080}, {2880, 2160}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const picture_layout at{3, 2, w, h};
        BITMAP* display = create_bitmap(w + 6, h + 4);
        clear_to_color(display, unwritten);
        const picture_area all = scale_picture_part(picture, rows_of(display), at, {0, 0, 640, 480});
        EXPECT_EQ(all.top, 2);
        EXPECT_EQ(all.bottom, 2 + h);
        int unwritten_inside = 0, written_outside = 0, not_exact = 0, not_between = 0, blended = 0;
        for (int y = 0; y < display->h; ++y)
            for (int x = 0; x < display->w; ++x) {
                const int c = pixel(display, x, y);
                if (!on_picture(at, x, y)) {
                    written_outside += c != unwritten;
                    continue;
                }
                if (c == unwritten) {
                    ++unwritten_inside;
                    continue;
                }
                int x0, x1, y0, y1;
                footprint(x - 3, w, 640, &x0, &x1);
                footprint(y - 2, h, 480, &y0, &y1);
                if (x0 == x1 && y0 == y1) {  // wholly inside one picture pixel
                    not_exact += c != pixel(picture, x0, y0);
                    continue;
                }
                ++blended;
                // Across an edge: each channel between those of the pixels either side.
                const int channels[3] = {getr(c), getg(c), getb(c)};
                for (int ch = 0; ch < 3; ++ch) {
                    int lo = 255, hi = 0;
                    for (int sy = y0; sy <= y1; ++sy)
                        for (int sx = x0; sx <= x1; ++sx) {
                            const int s = pixel(picture, sx, sy);
                            const int v = ch == 0 ? getr(s) : ch == 1 ? getg(s) : getb(s);
                            lo = std::min(lo, v);
                            hi = std::max(hi, v);
                        }
                    not_between += channels[ch] < lo || channels[ch] > hi;
                }
            }
        EXPECT_EQ(unwritten_inside, 0);
        EXPECT_EQ(written_outside, 0);
        EXPECT_EQ(not_exact, 0);
        EXPECT_EQ(not_between, 0);
        // An edge blends at most one display pixel: 639 columns and 479 rows of edges.
        EXPECT_LE(blended, 639 * h + 479 * w);

        // A band of picture rows rewrites exactly the display rows that show them.
        clear_to_color(display, unwritten);
        const picture_area band = scale_picture_part(picture, rows_of(display), at, {0, 100, 640, 102});
        for (int y = 0; y < display->h; ++y) {
            int r0, r1;
            footprint(y - 2, h, 480, &r0, &r1);
            const bool shows = y >= 2 && y < 2 + h && r1 >= 100 && r0 < 102;
            EXPECT_EQ(y >= band.top && y < band.bottom, shows) << "row " << y;
            EXPECT_EQ(pixel(display, w / 2, y) != unwritten, shows) << "row " << y;
        }
        destroy_bitmap(display);
    }
    destroy_bitmap(picture);
}

// One axis of the sharp scaler, written plainly: display pixel i of n samples the source
// widened by K = ceil(n / s) at its centre, between the widened pixels either side.
struct plain_tap {
    int from, next, weight;
};
plain_tap plain_tap_for(int i, int n, int s) {
    const long long K = std::max(1, (n + s - 1) / s);
    const long long u256 = (2LL * i + 1) * s * K * 256 / (2LL * n) - 128;
    if (u256 < 0) return {0, 0, 0};
    const int from = static_cast<int>(std::min<long long>((u256 >> 8) / K, s - 1));
    const int next = static_cast<int>(std::min<long long>(((u256 >> 8) + 1) / K, s - 1));
    return {from, next, next == from ? 0 : static_cast<int>(u256 & 255)};
}
uint32_t plain_blend(uint32_t a, uint32_t b, int weight) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t ca = (a >> shift) & 255, cb = (b >> shift) & 255;
        out |= ((ca * (256 - weight) + cb * weight) >> 8) << shift;
    }
    return out;
}

// The fast scaler skips blends where neighbours agree and blends in vector code: every
// byte must still be the plain two-step blend's, on flat runs and on noise alike, at sizes
// up and down.
TEST(picture_scaler, sharp_gives_the_bytes_of_the_plain_blend_at_every_size) {
    reset_headless();
    BITMAP* picture = create_bitmap(640, 480);
    uint32_t seed = 12345;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            seed = seed * 1103515245u + 12345u;
            reinterpret_cast<uint32_t*>(picture->line[y])[x] = (x / 7 + y / 5) % 3 ? seed : 0x282828u;
        }
    const int sizes[][2] = {{1200, 900}, {1024, 768}, {1067, 800}, {2880, 2160}, {533, 400}, {320, 240}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        BITMAP* display = create_bitmap(w, h);
        scale_picture_part(picture, rows_of(display), {0, 0, w, h}, {0, 0, 640, 480});
        int wrong = 0;
        for (int y = 0; y < h; ++y) {
            const plain_tap ty = plain_tap_for(y, h, 480);
            const uint32_t* top = reinterpret_cast<const uint32_t*>(picture->line[ty.from]);
            const uint32_t* below = reinterpret_cast<const uint32_t*>(picture->line[ty.next]);
            for (int x = 0; x < w; ++x) {
                const plain_tap tx = plain_tap_for(x, w, 640);
                const uint32_t expected = plain_blend(plain_blend(top[tx.from], top[tx.next], tx.weight),
                                                      plain_blend(below[tx.from], below[tx.next], tx.weight), ty.weight);
                wrong += reinterpret_cast<const uint32_t*>(display->line[y])[x] != expected;
            }
        }
        EXPECT_EQ(wrong, 0);
        destroy_bitmap(display);
    }
    destroy_bitmap(picture);
}

TEST(display_layout, one_rule_for_any_area) {
    using s = picture_scaling;
    struct case_ {
        int area_w, area_h;
        s how;
        int left, top, w, h;
    } cases[] = {
        // Where a whole factor fills 80 % of a side it stays, exactly as it always was.
        {640, 480, s::automatic, 0, 0, 640, 480},
        {1920, 1080, s::automatic, 320, 60, 1280, 960},
        {1920, 1200, s::automatic, 320, 120, 1280, 960},  // 960 rows of 1200: just 80 %
        {2560, 1080, s::automatic, 640, 60, 1280, 960},
        {2560, 1440, s::automatic, 320, 0, 1920, 1440},
        {3840, 2160, s::automatic, 640, 120, 2560, 1920},
        // Laptops and handhelds: the largest 4:3 that fits.
        {1366, 768, s::automatic, 171, 0, 1024, 768},
        {1280, 800, s::automatic, 106, 0, 1067, 800},
        {1440, 900, s::automatic, 120, 0, 1200, 900},
        {1600, 900, s::automatic, 200, 0, 1200, 900},
        {1536, 864, s::automatic, 192, 0, 1152, 864},
        // The 80 % edges, by height and by width.
        {800, 600, s::automatic, 80, 60, 640, 480},
        {801, 601, s::automatic, 0, 0, 801, 601},
        {800, 2000, s::automatic, 80, 760, 640, 480},
        {801, 2000, s::automatic, 0, 699, 801, 601},
        // Odd shapes: very wide, very tall, smaller than the picture.
        {5000, 480, s::automatic, 2180, 0, 640, 480},
        {300, 2000, s::automatic, 0, 887, 300, 225},
        {600, 400, s::automatic, 33, 0, 533, 400},
        // Below 640x480, sharp and smaller whatever the mode, down to the smallest window.
        {600, 400, s::pixel, 33, 0, 533, 400},
        {798, 455, s::pixel, 95, 0, 607, 455},  // an 800x480 screen less a frame
        {320, 240, s::automatic, 0, 0, 320, 240},
        // Windows of any shape: a half-screen tile, a wide and a tall one.
        {683, 768, s::automatic, 21, 144, 640, 480},
        {683, 768, s::sharp, 0, 128, 683, 512},
        {1000, 500, s::sharp, 166, 0, 667, 500},
        // Chosen by the player.
        {1366, 768, s::pixel, 363, 144, 640, 480},
        {1920, 1080, s::sharp, 240, 0, 1440, 1080},
        {1280, 960, s::sharp, 0, 0, 1280, 960},
        {3840, 2160, s::pixel, 640, 120, 2560, 1920},
    };
    for (const case_& c : cases) {
        SCOPED_TRACE(std::to_string(c.area_w) + "x" + std::to_string(c.area_h) + " " + std::to_string(int(c.how)));
        const picture_layout at = lay_out_picture(c.area_w, c.area_h, c.how);
        EXPECT_EQ(at.left, c.left);
        EXPECT_EQ(at.top, c.top);
        EXPECT_EQ(at.w, c.w);
        EXPECT_EQ(at.h, c.h);
        const display_plan plan = plan_fullscreen({100, 50, c.area_w, c.area_h});
        EXPECT_EQ(plan.window.x, 100);
        EXPECT_EQ(plan.window.w, c.area_w);
    }
}

TEST(display_layout, the_window_fits_the_work_area_of_its_own_monitor_frame_included) {
    // Two monitors side by side; a panel takes the top 30 rows of the desktop.
    const std::vector<screen_rect> monitors = {{0, 0, 1920, 1080}, {1920, 0, 3840, 2160}};
    const screen_rect work{0, 30, 5760, 2130};
    const frame_extents none;
    const picture_scaling automatic = picture_scaling::automatic;
    EXPECT_EQ(monitor_at(monitors, 100, 100, 0), 0);
    EXPECT_EQ(monitor_at(monitors, 1920, 0, 0), 1);
    EXPECT_EQ(monitor_at(monitors, 9000, 500, 0), 1);  // off every monitor: the nearest
    EXPECT_EQ(monitor_at({}, 5, 5, 0), 0);
    // Full screen starts on the monitor remembered by name while it is there.
    desktop_facts facts;
    facts.monitors = monitors;
    facts.monitor_names = {"eDP-1", "HDMI-1"};
    facts.primary = 0;
    EXPECT_EQ(monitor_named(facts, "HDMI-1"), 1);
    EXPECT_EQ(monitor_named(facts, "DP-3"), 0);  // unplugged since: the primary
    EXPECT_EQ(monitor_named(facts, ""), 0);

    bool reduced = true;
    display_plan plan = plan_window(monitors[0], work, none, 0, automatic, &reduced);
    EXPECT_FALSE(reduced);
    EXPECT_EQ(plan.window.w, 1280);  // 3 never fits
    EXPECT_EQ(plan.window.h, 960);
    EXPECT_EQ(plan.window.x, 320);
    EXPECT_EQ(plan.window.y, 30 + (1050 - 960) / 2);
    EXPECT_EQ(lay_out_picture(plan.window.w, plan.window.h, automatic), (picture_layout{0, 0, 1280, 960}));

    // The second monitor's size counts there, never the whole desktop's 5760 columns.
    plan = plan_window(monitors[1], work, none, 0, automatic, &reduced);
    EXPECT_EQ(plan.window.w, 2560);
    EXPECT_EQ(plan.window.x, 1920 + (3840 - 2560) / 2);

    // A factor that does not fit gives the largest window that does, and says so.
    plan = plan_window(monitors[0], work, none, 3, automatic, &reduced);
    EXPECT_TRUE(reduced);
    EXPECT_EQ(plan.window.w, 1280);
    plan = plan_window(monitors[0], work, none, 1, automatic, &reduced);
    EXPECT_FALSE(reduced);
    EXPECT_EQ(plan.window.w, 640);

    // 2560x1440 with no panel: the title bar counts, so 1920x1440 no longer fits and the
    // window takes the sharp picture that does, wholly on the screen.
    const screen_rect wide{0, 0, 2560, 1440};
    const frame_extents frame{1, 1, 22, 4};
    plan = plan_window(wide, wide, frame, 0, automatic, &reduced);
    EXPECT_EQ(plan.window.h, 1440 - 26);
    EXPECT_EQ(plan.window.w, (4 * 1414 + 1) / 3);
    EXPECT_EQ(plan.window.y, 22);
    EXPECT_GE(plan.window.x - frame.left, 0);
    EXPECT_LE(plan.window.x + plan.window.w + frame.right, 2560);
    EXPECT_EQ(lay_out_picture(plan.window.w, plan.window.h, automatic).w, plan.window.w);
    plan = plan_window(wide, wide, frame, 0, picture_scaling::pixel, &reduced);
    EXPECT_EQ(plan.window.w, 1280);  // pixel: the largest whole factor that fits with the frame
    EXPECT_EQ(plan.window.y, 22 + (1414 - 960) / 2);

    // The screen shrinks under a 1280x960 window: it shrinks and moves just enough.
    const screen_rect laptop{0, 0, 1366, 768};
    screen_rect fitted = fit_window({320, 60, 1280, 960}, frame, laptop);
    EXPECT_EQ(fitted.w, 1280);
    EXPECT_EQ(fitted.h, 768 - 26);
    EXPECT_EQ(fitted.x, 1366 - 1 - 1280);
    EXPECT_EQ(fitted.y, 22);
    fitted = fit_window({100, 100, 640, 480}, frame, laptop);  // it fits already: it stays
    EXPECT_EQ(fitted.x, 100);
    EXPECT_EQ(fitted.y, 100);
    EXPECT_EQ(fitted.w, 640);
}

TEST(display_layout, the_pointer_maps_onto_the_picture_and_clamps_outside_it) {
    const picture_layout at{320, 60, 1280, 960};
    auto maps_to = [&](int x, int y, int px, int py) {
        const picture_point p = map_pointer(at, x, y);
        return p.x == px && p.y == py;
    };
    EXPECT_TRUE(maps_to(320, 60, 0, 0));
    EXPECT_TRUE(maps_to(321, 61, 0, 0));
    EXPECT_TRUE(maps_to(322, 62, 1, 1));
    EXPECT_TRUE(maps_to(320 + 1279, 60 + 959, 639, 479));
    EXPECT_TRUE(maps_to(319, 59, 0, 0));      // just left of and above: not rounded onto it
    EXPECT_TRUE(maps_to(0, 0, 0, 0));
    EXPECT_TRUE(maps_to(1919, 1079, 639, 479));
    EXPECT_TRUE(maps_to(-5, 600, 0, 270));
    EXPECT_TRUE(on_picture(at, 320, 60));
    EXPECT_FALSE(on_picture(at, 319, 60));
    EXPECT_FALSE(on_picture(at, 1600, 500));
    EXPECT_TRUE(maps_to(1600, 500, 639, 220));

    // Sharp: any size maps back, corner to corner.
    const picture_layout sharp{171, 0, 1024, 768};
    EXPECT_EQ(map_pointer(sharp, 171, 0).x, 0);
    EXPECT_EQ(map_pointer(sharp, 171 + 1023, 767).x, 639);
    EXPECT_EQ(map_pointer(sharp, 171 + 1023, 767).y, 479);
    EXPECT_EQ(map_pointer(sharp, 171 + 512, 384).x, 320);
    EXPECT_EQ(map_pointer(sharp, 171 + 512, 384).y, 240);
}
