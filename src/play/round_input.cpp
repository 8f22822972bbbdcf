// Reading the round's input once per frame.
#include "play/round_input.h"

#include <allegro.h>

#include "platform/host.h"

round_input round_in;

void read_round_input() {
    const int buttons = mouse_b;  // one read, so the two flags agree
    round_in.x = pointer_x();
    round_in.y = pointer_y();
    round_in.left = buttons & 1;
    round_in.any_button = buttons != 0;
    round_in.right = buttons & 2;
    round_in.pause_closed = false;
}
