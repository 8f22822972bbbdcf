// Menu buttons.
#include "ui/buttons.h"

#include "platform/host.h"
#include "ui/screen_state.h"

clicky quit;
clicky progress;

void clicky::edit_button(int x_, int y_, int w_, int h_, int target_) {
    x = x_;
    y = y_;
    w = w_;
    h = h_;
    target = target_;
}

namespace {
// The screen on which the left button was last seen up. A press that began on the
// previous screen must not act on this one (the highscore table's Return to Title sits
// where the title menu's Quit is).
int seen_up_on = -1;
}  // namespace

void ignore_held_press() { seen_up_on = -1; }

// Each test reads the live mouse state, as the library updates it on its own.
int clicky::is_clicked() {
    if (!(mouse_b & 1)) seen_up_on = game_state;
    if (seen_up_on != game_state) return 0;
    const int px = pointer_x(), py = pointer_y();
    if ((mouse_b & 1) && px < x + w / 2 && px > x - w / 2 && py < y + h / 2 && py > y - h / 2) {
        game_state = target;
        return 1;
    }
    return 0;
}

namespace {
void draw_outline(BITMAP* dest, const clicky& b) {
    rect(dest, b.x - b.w / 2, b.y - b.h / 2, b.x + b.w / 2, b.y + b.h / 2, makecol(255, 255, 255));
}
}  // namespace

void draw_button(BITMAP* dest, const clicky& b, const char* label) {
    draw_outline(dest, b);
    textout_centre_ex(dest, font, label, b.x, b.y - 5, makecol(255, 255, 255), -1);
}

void draw_button(BITMAP* dest, const clicky& b, const char* first_line, const char* second_line) {
    draw_outline(dest, b);
    textout_centre_ex(dest, font, first_line, b.x, b.y - 10, makecol(255, 255, 255), -1);
    textout_centre_ex(dest, font, second_line, b.x, b.y + 5, makecol(255, 255, 255), -1);
}
