// Menu buttons.
#include "ui/buttons.h"

#include <algorithm>

#include "platform/desktop_hooks.h"
#include "platform/real_host.h"
#include "platform/mouse_presses.h"
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

// The second half of a double-click comes this soon after the first: desktops allow up
// to 500 ms, and a desktop that asks for longer gets it.
constexpr int double_click_ms = 500;

int double_click_window_ms() { return std::max(double_click_ms, desktop.double_click_ms()); }

// Presses up to this one began before the screen now shown, or were used already.
unsigned last_press_of_old_screen = 0;
// The press that last moved the game to another screen; serial 0 before any did.
left_press changed_screen = {0, 0, 0, 0};
// The press press_to_act last offered, which take_press uses up.
left_press offered = {0, 0, 0, 0};

bool second_half_of_double_click(const left_press& p) {
    return changed_screen.serial != 0 && p.serial > changed_screen.serial &&
           p.at_ms - changed_screen.at_ms < double_click_window_ms();
}

bool inside(const clicky& b, int px, int py) {
    return px < b.x + b.w / 2 && px > b.x - b.w / 2 && py < b.y + b.h / 2 && py > b.y - b.h / 2;
}

}  // namespace

void start_button_screen() { last_press_of_old_screen = last_left_press().serial; }

void forget_button_presses() {
    start_button_screen();
    changed_screen = {0, 0, 0, 0};
}

bool press_may_act(const left_press& p) {
    return p.serial > last_press_of_old_screen && !second_half_of_double_click(p);
}

// A press held down acts wherever the pointer is now, so sliding onto a button presses
// it; one already let go acts where it went down.
bool press_to_act(int* x, int* y) {
    const left_press press = last_left_press();
    if (!press_may_act(press)) return false;
    offered = press;
    const bool held = mouse_b & 1;
    *x = held ? pointer_x() : press.x;
    *y = held ? pointer_y() : press.y;
    return true;
}

void take_press() { last_press_of_old_screen = offered.serial; }

int clicky::is_clicked() {
    int px = 0, py = 0;
    if (!press_to_act(&px, &py) || !inside(*this, px, py)) return 0;
    take_press();
    if (target != game_state) changed_screen = offered;
    game_state = target;
    return 1;
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
