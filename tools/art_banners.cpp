// The banner sheet: 96-pixel strips of bold lettering on magenta. The title, pause,
// time-up, highscore and statistics strips are 480 wide; the stage word and its digits
// are cut apart and pasted side by side by the game, so they share one cap height and
// top line.
#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "art.h"
#include "lettering.h"

namespace {

const LetterStyle gold{rgb(255, 253, 214), rgb(255, 214, 76), rgb(255, 158, 22), rgb(206, 74, 12)};
const LetterStyle cyan{rgb(236, 255, 255), rgb(124, 230, 255), rgb(38, 168, 240), rgb(22, 86, 196)};
const LetterStyle red{rgb(255, 238, 214), rgb(255, 148, 104), rgb(240, 56, 48), rgb(150, 18, 40)};
const LetterStyle green{rgb(240, 255, 216), rgb(168, 250, 112), rgb(56, 208, 80), rgb(18, 124, 60)};
const LetterStyle violet{rgb(250, 236, 255), rgb(212, 172, 255), rgb(150, 92, 240), rgb(88, 40, 170)};

const int strip_h = 96;

// The title: BLOCK in gold and DASH in cyan, set tight as one word, with speed streaks
// behind it as if it had just dashed in from the left.
void title_logo(BITMAP* sheet) {
    const std::string first = "BLOCK", second = "DASH", word = first + second;
    LetterStyle a = gold, b = cyan;
    a.condense = b.condense = 0.9f;
    a.tracking = b.tracking = 2.4f;
    const int left = 50, right = 474;  // the streaks take the room before `left`
    float cap = 64;
    const float nudge = 0.05f;  // extra room before DASH, in caps, so the K's leg shows
    auto width = [&](float c) {
        return text_width_px(word, c, a) + c * nudge + text_margin_left(c, a) + text_margin_right(c, a);
    };
    auto height = [&](float c) { return c + text_margin_top(c, a) + text_margin_bottom(c, a); };
    while (width(cap) > right - left || height(cap) > strip_h - 4) cap -= 0.5f;
    float x = std::round(left + (right - left - width(cap)) / 2 + text_margin_left(cap, a));
    float y = std::round((strip_h - height(cap)) / 2 + text_margin_top(cap, a));

    // Tapered streaks that thicken towards the letters and stop short of the slanted B.
    const float rows[3] = {0.2f, 0.5f, 0.8f};
    const float lengths[3] = {30, 42, 24};
    Canvas streaks(left, strip_h);
    streaks.set_ink(a.outline);
    for (int i = 0; i < 3; ++i) {
        float row = y + cap * rows[i];
        float b_edge = x - text_margin_left(cap, a) + a.outline_px + a.slant * (1 - rows[i]) * cap * a.condense;
        float x1 = std::min(b_edge - 9, float(left - 6)), x0 = std::max(6.f, x1 - lengths[i]);
        streaks.capsule(Pt{x0, row}, Pt{x1, row}, 1.0f, 3.4f, Tones{b.top, b.upper, b.lower}, 2.5f);
    }
    streaks.resolve(sheet, 0, 0, nullptr);
    draw_text(sheet, 0, 0, 480, strip_h, x, y, cap, first, a);
    draw_text(sheet, 0, 0, 480, strip_h, x + text_advance_px(first, cap, a) + cap * nudge, y, cap, second, b);
}

void heading(BITMAP* sheet, int y, const std::string& text, const LetterStyle& style) {
    draw_text_centred(sheet, 0, y, 480, strip_h, 60, text, style);
}

// "STAGE" and the digits 1 to 5: condensed and upright so a digit fits its 38-pixel
// strip; the game draws the word at x 150 and the digit at x 370, on one top line.
void stage_banner(BITMAP* sheet) {
    LetterStyle st = green;
    st.slant = 0;
    st.condense = 0.74f;
    st.outline_px = 3;
    st.shadow_px = {2, 4};
    const int top = 384, digit_w = 38;

    // The largest caps for which every digit fits its strip.
    float cap = 60;
    for (; cap > 20; cap -= 0.5f) {
        float widest = 0;
        for (char d = '1'; d <= '5'; ++d)
            widest = std::max(widest, text_width_px(std::string(1, d), cap, st));
        // Keep a clear column on each side: a digit touching its strip's edge is cut off.
        if (widest + text_margin_left(cap, st) + text_margin_right(cap, st) <= digit_w - 3) break;
    }
    float h = cap + text_margin_top(cap, st) + text_margin_bottom(cap, st);
    float y = std::round(top + (strip_h - h) / 2 + text_margin_top(cap, st));

    // The word ends about a letter's width before its strip does: that is the space in "STAGE 3".
    float word_w = text_width_px("STAGE", cap, st);
    float word_x = std::round(220 - cap * 0.42f - text_margin_right(cap, st) - word_w);
    draw_text(sheet, 0, top, 220, strip_h, word_x, y, cap, "STAGE", st);

    for (int n = 1; n <= 5; ++n) {
        std::string digit(1, char('0' + n));
        int sx = 180 + 40 * n;
        float dw = text_width_px(digit, cap, st) + text_margin_left(cap, st) + text_margin_right(cap, st);
        float dx = std::round(sx + (digit_w - dw) / 2 + text_margin_left(cap, st));
        draw_text(sheet, sx, top, digit_w, strip_h, dx, y, cap, digit, st);
    }
}

}  // namespace

void draw_banners(BITMAP* sheet) {
    clear_to_color(sheet, mask_colour());
    title_logo(sheet);
    heading(sheet, 96, "PAUSED", cyan);
    heading(sheet, 192, "TIME UP!", red);
    heading(sheet, 288, "HIGHSCORES", gold);
    stage_banner(sheet);
    heading(sheet, 480, "STATISTICS", violet);
}
