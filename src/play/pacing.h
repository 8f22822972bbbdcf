// The round's clock: frames of at least 20 ms, 39 frames to a game second.
#pragma once

constexpr int frame_ms = 20;

// Frame step 17: one frame more on play_time; each 39th takes a second off time_left.
void tick_play_clock();

// Frame step 18: returns once frame_ms have passed since loop_start. A longer frame ends
// at once and is not made up.
void wait_for_frame_end();
