// Cut pieces: each block picture split four ways, two pieces per cut, prepared at start-up
// so that cutting a block at run time costs nothing but choosing the pair.
#include "play/cut_pieces.h"

#include "platform/assets.h"

BITMAP* cut_block[8][3] = {};

namespace {

// Creation order is also release order.
const int kind_order[8] = {2, 3, 0, 1, 4, 5, 6, 7};

struct straight_piece {
    int kind, sx, sy, w, h;
};

// The top and left pieces are 31 deep, so row or column 31 is a transparent seam.
const straight_piece straight_pieces[4] = {
    {2, 0, 0, 31, 64},   // left
    {3, 32, 0, 32, 64},  // right
    {0, 0, 0, 64, 31},   // top
    {1, 0, 32, 64, 32},  // bottom
};

struct corner_mask {
    int kind, x1, y1, x2, y2, x3, y3;
};

// The triangle painted out of each diagonal piece.
const corner_mask diagonal_masks[4] = {
    {4, 0, 0, 64, 0, 64, 64},   // keeps the lower-left half
    {5, 0, 0, 0, 64, 64, 64},   // keeps the upper-right half
    {6, 64, 0, 64, 64, 0, 64},  // keeps the upper-left half
    {7, 64, 0, 0, 0, 0, 64},    // keeps the lower-right half
};

}  // namespace

bool cut_the_blocks(int type) {
    for (int kind : kind_order) {
        cut_block[kind][type] = create_bitmap(64, 64);
        if (!cut_block[kind][type]) return false;
    }
    BITMAP* src = block_pic[type];
    const int mask = makecol(255, 0, 255);
    for (const straight_piece& p : straight_pieces) {
        rectfill(cut_block[p.kind][type], 0, 0, 64, 64, mask);
        blit(src, cut_block[p.kind][type], p.sx, p.sy, p.sx, p.sy, p.w, p.h);
    }
    for (const corner_mask& m : diagonal_masks) {
        blit(src, cut_block[m.kind][type], 0, 0, 0, 0, 64, 64);
        triangle(cut_block[m.kind][type], m.x1, m.y1, m.x2, m.y2, m.x3, m.y3, mask);
    }
    return true;
}

void clean_cut_blocks(int type) {
    for (int kind : kind_order) {
        if (cut_block[kind][type]) destroy_bitmap(cut_block[kind][type]);
        cut_block[kind][type] = nullptr;
    }
}
