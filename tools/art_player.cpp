// The player: a small ninja in an orange suit with a red headband and a short blade.
// All three poses share one body built from the same parts, so they read as one
// character; each faces right, and the game mirrors them to face left.
#include <allegro.h>

#include <vector>

#include "art.h"
#include "canvas.h"

namespace {

const Tones suit{rgb(255, 178, 74), rgb(238, 120, 34), rgb(176, 66, 26)};
const Tones suit_back{rgb(214, 104, 38), rgb(186, 80, 30), rgb(138, 48, 24)};
const Tones skin{rgb(255, 228, 190), rgb(246, 196, 150), rgb(210, 150, 110)};
const Tones band{rgb(255, 96, 104), rgb(226, 40, 62), rgb(158, 20, 48)};
const Tones glove{rgb(255, 255, 252), rgb(226, 228, 238), rgb(168, 170, 196)};
const Tones belt{rgb(112, 86, 168), rgb(76, 56, 126), rgb(50, 36, 88)};
const Tones steel{rgb(240, 250, 255), rgb(176, 206, 232), rgb(112, 136, 176)};
const Tones hilt{rgb(120, 84, 60), rgb(92, 60, 44), rgb(64, 40, 32)};
const Rgb pupil = rgb(28, 20, 44);
const Rgb glint = rgb(255, 255, 255);
const float line = 0.9f;  // width of the line art between parts

struct Limb {
    Pt root, joint, end;
    float foot_angle = 0;  // boots only
};

struct Pose {
    Pt head;
    Pt chest, hip;
    Limb back_arm, front_arm, back_leg, front_leg;
    Pt knot;
    std::vector<Pt> tail_a, tail_b;
    Pt blade_tip;
    bool surprised = false;
};

void draw_limb(Canvas& c, const Limb& l, float r, const Tones& t) {
    c.capsule(l.root, l.joint, r, r * 0.9f, t, line);
    c.capsule(l.joint, l.end, r * 0.9f, r * 0.85f, t, line);
}

void draw_boot(Canvas& c, const Limb& leg) {
    c.ellipse(Pt{leg.end.x + 1.5f, leg.end.y + 0.5f}, 4.6f, 3.2f, leg.foot_angle, glove, line);
}

void draw_glove(Canvas& c, Pt hand) { c.ellipse(hand, 3.0f, 3.0f, 0, glove, line); }

void draw_head(Canvas& c, const Pose& p) {
    Pt h = p.head;
    c.ellipse(h, 11.5f, 11.0f, 0, suit, line);
    // The face opening sits on the side the ninja looks to.
    Pt face{h.x + 4.5f, h.y + 1.5f};
    c.ellipse(face, 7.0f, 5.0f, -6, skin, line * 0.7f);
    float eye_h = p.surprised ? 3.2f : 2.6f;
    c.ellipse(Pt{face.x - 2.2f, face.y - 0.3f}, 1.4f, eye_h, 0, flat(pupil));
    c.ellipse(Pt{face.x + 3.0f, face.y - 0.6f}, 1.4f, eye_h, 0, flat(pupil));
    c.ellipse(Pt{face.x - 2.6f, face.y - 1.3f}, 0.6f, 0.7f, 0, flat(glint));
    c.ellipse(Pt{face.x + 2.6f, face.y - 1.6f}, 0.6f, 0.7f, 0, flat(glint));
    // Headband across the forehead, knotted at the back.
    c.capsule(Pt{h.x - 10.5f, h.y - 3.0f}, Pt{h.x + 9.5f, h.y - 6.5f}, 2.4f, 2.2f, band, line);
    c.ellipse(p.knot, 2.8f, 2.4f, 0, band, line);
}

void draw_tails(Canvas& c, const Pose& p) {
    c.stroke(p.tail_b, 1.8f, band, line);
    c.stroke(p.tail_a, 2.1f, band, line);
}

void draw_blade(Canvas& c, const Pose& p) {
    Pt h = p.front_arm.end, t = p.blade_tip;
    float dx = t.x - h.x, dy = t.y - h.y;
    // Guard across the hilt, then a tapering blade.
    float nx = -dy * 0.18f, ny = dx * 0.18f;
    Pt guard{h.x + dx * 0.18f, h.y + dy * 0.18f};
    c.capsule(Pt{h.x - dx * 0.12f, h.y - dy * 0.12f}, guard, 1.4f, 1.4f, hilt, line);
    c.polygon({Pt{guard.x + nx, guard.y + ny}, Pt{t.x + nx * 0.2f, t.y + ny * 0.2f}, t,
               Pt{guard.x - nx, guard.y - ny}},
              steel, line);
    c.capsule(Pt{guard.x + nx * 1.4f, guard.y + ny * 1.4f}, Pt{guard.x - nx * 1.4f, guard.y - ny * 1.4f},
              1.1f, 1.1f, band, line * 0.8f);
}

void draw_ninja(Canvas& c, const Pose& p) {
    draw_tails(c, p);
    draw_limb(c, p.back_arm, 2.6f, suit_back);
    draw_glove(c, p.back_arm.end);
    draw_limb(c, p.back_leg, 3.2f, suit_back);
    draw_boot(c, p.back_leg);
    c.capsule(p.chest, p.hip, 7.6f, 7.0f, suit, line);
    Pt mid{p.hip.x + (p.chest.x - p.hip.x) * 0.18f, p.hip.y + (p.chest.y - p.hip.y) * 0.18f};
    c.capsule(Pt{mid.x - 6.0f, mid.y + 0.6f}, Pt{mid.x + 6.0f, mid.y - 0.6f}, 1.7f, 1.7f, belt);
    draw_limb(c, p.front_leg, 3.4f, suit);
    draw_boot(c, p.front_leg);
    draw_head(c, p);
    draw_blade(c, p);
    draw_limb(c, p.front_arm, 2.8f, suit);
    draw_glove(c, p.front_arm.end);
}

// Wind-up and dash: leaning hard into the move, blade forward, headband streaming.
Pose dash_pose() {
    Pose p;
    p.head = {43, 22};
    p.chest = {36, 32};
    p.hip = {27, 38};
    p.front_arm = {{39, 31}, {46, 35}, {51, 33}};
    p.back_arm = {{33, 31}, {28, 36}, {22, 35}};
    p.back_leg = {{25, 39}, {17, 40}, {9, 37}, 200};
    p.front_leg = {{28, 41}, {24, 48}, {17, 51}, 160};
    p.knot = {32, 17};
    p.tail_a = {{32, 17}, {24, 14}, {15, 15}, {6, 12}};
    p.tail_b = {{31, 18}, {23, 21}, {14, 21}, {5, 23}};
    p.blade_tip = {62, 25};
    return p;
}

// Ready stance on the floor: feet apart, blade held low in front. Standing at y 450,
// sprite rows 62 and 63 are below the screen, so the boots end above them.
Pose standing_pose() {
    Pose p;
    p.head = {32, 18};
    p.chest = {31, 33};
    p.hip = {31, 41};
    p.front_arm = {{35, 31}, {39, 38}, {43, 42}};
    p.back_arm = {{27, 31}, {23, 37}, {22, 43}};
    p.back_leg = {{28, 44}, {25, 50}, {23, 55}, 0};
    p.front_leg = {{34, 44}, {37, 50}, {39, 55}, 0};
    p.knot = {21, 15};
    p.tail_a = {{21, 15}, {15, 18}, {10, 17}, {6, 21}};
    p.tail_b = {{21, 16}, {16, 23}, {13, 27}, {9, 30}};
    p.blade_tip = {57, 50};
    return p;
}

// Dropping back to the floor: arms up, legs loose, headband blown upward.
Pose falling_pose() {
    Pose p;
    p.head = {32, 22};
    p.chest = {32, 37};
    p.hip = {32, 45};
    p.front_arm = {{37, 34}, {44, 31}, {49, 25}};
    p.back_arm = {{27, 34}, {21, 31}, {17, 25}};
    p.back_leg = {{29, 47}, {24, 52}, {22, 58}, -20};
    p.front_leg = {{35, 47}, {40, 51}, {41, 57}, 15};
    p.knot = {21, 19};
    p.tail_a = {{21, 19}, {16, 13}, {14, 7}, {9, 3}};
    p.tail_b = {{21, 20}, {14, 16}, {9, 12}, {4, 10}};
    p.blade_tip = {59, 12};
    p.surprised = true;
    return p;
}

}  // namespace

void draw_player_poses(BITMAP* sheet) {
    const Pose poses[3] = {dash_pose(), standing_pose(), falling_pose()};
    const Rgb rim = rgb(24, 16, 34);
    for (int i = 0; i < 3; ++i) {
        Canvas c(64, 64);
        draw_ninja(c, poses[i]);
        c.resolve(sheet, 64 * i, 0, &rim);
    }
}
