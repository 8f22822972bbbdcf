// The play clock and the wait that ends each frame.
#include "play/pacing.h"

#include "platform/host.h"
#include "play/round_state.h"

void tick_play_clock() {
    play_time[0] += 1;
    if (play_time[0] > 38) {
        time_left -= 1;
        play_time[1] += 1;
        play_time[0] -= 39;
    }
    if (play_time[1] > 59) {
        play_time[2] += 1;
        play_time[1] -= 60;
    }
}

// Sleeps for what is left of the frame, then reads the clock again in case the sleep
// ended early; it never spins. Every wait moves a test's fake clock on, so the loop ends
// there too.
void wait_for_frame_end() {
    const int end = loop_start + frame_ms;
    for (int left = end - now_ms(); left > 0; left = end - now_ms()) wait_ms(left);
}
