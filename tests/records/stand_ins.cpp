#include "stand_ins.h"

#include "shell/assets.h"
#include "shell/surfaces.h"

namespace stand_ins {

int band_colour(int stage) { return makecol(20 * stage, 60, 120); }
int heading_colour() { return makecol(0, 0, 200); }
int confirm_colour() { return makecol(0, 200, 0); }

namespace {
BITMAP* surface(BITMAP*& b, int w, int h) {
    if (!b) b = create_bitmap(w, h);
    return b;
}
}  // namespace

void use_stand_in_art() {
    surface(buffer, 640, 480);
    surface(frame, 640, 480);
    surface(fake_screen, 640, 480);
    static BITMAP* sheet = create_bitmap(480, 576);
    static BITMAP* back = create_bitmap(640, 615);
    static BITMAP* cursor = create_bitmap(32, 32);
    clear_to_color(sheet, makecol(255, 0, 255));
    rectfill(sheet, 0, 288, 479, 383, heading_colour());
    putpixel(sheet, 0, 288, makecol(255, 0, 255));  // shows the heading is drawn masked
    clear_to_color(back, makecol(0, 0, 0));
    for (int s = 1; s <= 5; ++s)
        rectfill(back, 0, back_word[s - 1], 639, back_word[s - 1] + 99, band_colour(s));
    rectfill(back, 0, 0, 22, 8, confirm_colour());
    clear_to_color(cursor, makecol(255, 255, 255));
    title = sheet;
    background = back;
    aimer = cursor;
}

}  // namespace stand_ins
