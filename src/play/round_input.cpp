// Reading the round's input once per frame.
#include "play/round_input.h"

#include <allegro.h>

#include "platform/real_host.h"
#include "platform/mouse_presses.h"
#include "ui/buttons.h"

namespace {
unsigned press_seen = 0;  // the latest left press an earlier frame looked at
}  // namespace

// A press counts only where a button's would (not the click that opened the round, not
// the second half of a double-click); one new this frame is taken where it went down, so a
// tap that is already let go still dashes.
void read_round_input() {
    const int buttons = mouse_b;  // one read, so the flags agree
    const left_press press = last_left_press();
    const bool fresh = press.serial != press_seen;
    press_seen = press.serial;
    const bool may_act = press_may_act(press);
    round_in.pressed = fresh && may_act;
    round_in.left = (buttons & 1) && may_act;
    round_in.x = round_in.pressed ? press.x : pointer_x();
    round_in.y = round_in.pressed ? press.y : pointer_y();
    round_in.any_button = buttons != 0;
    round_in.right = buttons & 2;
    round_in.pause_closed = false;
}
