// Spawning, block motion and the stages. The random draws keep their fixed order, so a
// seed replays a round exactly.
#include "play/spawning.h"

#include "platform/host.h"
#include "play/pacing.h"
#include "play/round_random.h"
#include "play/round_shell.h"
#include "play/round_state.h"

namespace {

constexpr int blocks_cut_cap = 400;
constexpr int floor_line = 449;
constexpr int piece_drift_frames = 18;

int free_slot() {
    for (int slot = 0; slot < block_slots; ++slot)
        if (!block[slot].active && !block[slot].cut) return slot;
    return block_slots;
}

void make_special(block_record& b) {
    // Each time block makes the next special likelier to be a power block, and back.
    const int t = round_random() % 4 + 1;
    if (t > special_balance) {
        b.type = 1;
        special_balance += 1;
    } else {
        b.type = 2;
        special_balance -= 1;
    }
    special_countdown = round_random() % 15 + blocks_cut / 20 + 20;
}

void take_floor_penalty(block_record& b) {
    b.active = false;
    time_left -= 5;
    lost_time = {b.x, b.y - 30, 25};
    playsound(1);
}

void drift_pieces(block_record& b) {
    switch (b.cut_dir) {
        case 0: b.split_x += 1; break;
        case 1: b.split_y += 1; break;
        case 2: b.split_x += 1; b.split_y += 1; break;
        case 3: b.split_x -= 1; b.split_y += 1; break;
    }
}

}  // namespace

void spawn_block() {
    till_next += 1;
    if (till_next < next_block - blocks_cut / 25) return;
    const int slot = free_slot();
    if (slot == block_slots) return;  // all busy: the block comes when a slot frees up
    block_record& b = block[slot];
    b.active = true;
    b.x = (round_random() % 10) * 32 + 192;
    b.y = -32;
    b.speed = round_random() % 2 + blocks_cut / 100 + 2;
    till_next = 0;
    b.type = 0;
    if (special_countdown < 0) make_special(b);
    special_countdown -= 1;
}

void cap_blocks_cut() {
    if (blocks_cut <= blocks_cut_cap) return;
    cut_block_overflow += blocks_cut % blocks_cut_cap;
    blocks_cut = blocks_cut_cap;
}

void move_blocks() {
    for (block_record& b : block) {
        if (b.active) b.y += b.speed;
        if (b.y > floor_line && b.active) take_floor_penalty(b);
        if (b.cut) drift_pieces(b);
        if (b.split_x > piece_drift_frames || b.split_x < -piece_drift_frames ||
            b.split_y > piece_drift_frames || b.split_y < -piece_drift_frames)
            b.cut = false;
    }
}

// Runs after the hand-over, so the banner lies over the frame just presented.
void advance_stage() {
    if (stage > blocks_cut / 100) return;
    stage = blocks_cut / 100 + 1;
    shell.stage_banner();
    for (block_record& b : block) b.active = false;  // no penalty; pieces drift on
    playsound(3);
    till_next = -30;
    wait_ms(stage_banner_ms);
}
