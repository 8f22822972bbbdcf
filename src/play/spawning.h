// Blocks: one at a time at the top, falling at their own speed, the floor penalty, the
// drifting pieces of cut blocks, and the stages that follow the blocks cut.
#pragma once

// Frame steps, in the order play_frame calls them.
void spawn_block();     // at most one new block per frame
void cap_blocks_cut();  // blocks_cut stops at 400; the rest goes to cut_block_overflow
void move_blocks();     // fall, floor penalty, drift and end of the pieces
void advance_stage();   // every hundred blocks cut: banner, cleared field, 1500 ms hold
