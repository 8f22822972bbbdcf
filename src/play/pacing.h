// The round's clock: frames of at least 20 ms, 39 frames to a game second.
#pragma once

constexpr int frame_ms = 20;
constexpr int stage_banner_ms = 1500;

// Frame step 1: sets loop_start. A frame that follows one that waited for its end, and
// woke on time, starts where that one ended, so the wake-up's own delay is not added to
// every frame; after a longer frame it starts now.
void start_frame();

// Frame step 17: one frame more on play_time; each 39th takes a second off time_left.
void tick_play_clock();

// Frame step 18: returns once frame_ms have passed since loop_start, sleeping until that
// moment. A longer frame ends at once and is not made up.
void wait_for_frame_end();
