// The two pieces a cut block falls apart into, prepared once per block type.
#pragma once

#include <allegro.h>

// cut_block[kind][type]; the pieces of cut direction d are kinds 2d and 2d + 1.
extern BITMAP* cut_block[8][3];

// Builds the eight pieces of one block type from block_pic[type]. Returns false when a
// piece could not be created; clean_cut_blocks releases whatever was made.
bool cut_the_blocks(int type);
void clean_cut_blocks(int type);
