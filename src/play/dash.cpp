// The dash: click, wind-up, walk with the hit test, cut direction, gravity and bounds.
#include "play/dash.h"

#include "platform/host.h"
#include "play/line_walk.h"
#include "play/round_state.h"

namespace {
constexpr int max_walk_points = 72;
constexpr int hit_half_extent = 40;
constexpr int floor_y = 450;
constexpr int left_bound = 96;
constexpr int right_bound = 544;
}  // namespace

void show_pose(int pose) { player.pose = pose; }

// A press new this frame dashes where it went down, even when it is already let go; a
// press held on from an earlier frame dashes once, where the pointer is, as soon as the
// player can.
void start_dash() {
    if (!can_dash) return;
    if (!round_in.pressed && (!round_in.left || mouseisdown)) return;
    show_pose(pose_dash);
    const int px = round_in.x, py = round_in.y;
    if (px > player.x) player.facing = 0;
    if (px < player.x) player.facing = 1;
    player.start_x = player.x;
    player.start_y = player.y;
    player.target_x = px;
    player.target_y = py;
    playsound(0);
    dash_delay = 0;
    mouseisdown = true;
    gravity = 0;
}

// The click that closed the pause menu holds the latch, as a click that dashed does.
void release_mouse_latch() {
    if (round_in.pause_closed) mouseisdown = true;
    else if (!round_in.any_button) mouseisdown = false;
}

void time_dash() {
    if (can_dash) dash_delay += 1;
    // The second frame after the click starts the walk.
    if (dash_delay == 3) {
        can_dash = false;
        dash_delay = 4;
        show_pose(pose_dash);
    }
    // Ends a walk that arrived last frame, or a dash aimed at the player's own centre.
    if (player.x == player.target_x && player.y == player.target_y) can_dash = true;
}

void walk_dash() {
    if (can_dash) return;
    dash_num = 0;
    walk_line(player.x, player.y, player.target_x, player.target_y, [](int x, int y, void*) { dash(x, y); }, nullptr);
}

void dash(int x, int y) {
    if (dash_num >= max_walk_points) return;
    player.x = x;
    player.y = y;
    dash_num += 1;
    const int h = is_hit(hit_half_extent);
    if (h == block_slots) return;
    // Hits after the tenth of one dash count in full but show no popup.
    if (player.combo < hit_popups) got_combo[player.combo] = {block[h].x, block[h].y - 25, 30};
    cut_object(h);
    player.combo += 1;
    playsound(4);
    if (block[h].type == 1) got_time = true;
    if (block[h].type == 2) got_power = true;
    block[h].active = false;
}

int is_hit(int d) {
    for (int slot = 0; slot < block_slots; ++slot) {
        const block_record& b = block[slot];
        if (player.x > b.x - d && player.x < b.x + d && player.y > b.y - d && player.y < b.y + d &&
            b.active)
            return slot;
    }
    return block_slots;
}

// Within about 39 degrees of an axis the cut follows that axis; in between it is
// diagonal. A dash exactly on a bound, such as (1, 1) or (9, 11), counts as diagonal, so
// every cut block shows its pieces.
void cut_object(int slot) {
    const int dx = player.start_x - player.target_x;
    const int dy = player.start_y - player.target_y;
    const int X = dx * dx;
    const int Y = dy * dy;
    block_record& b = block[slot];
    if (X > Y + Y / 2)
        b.cut_dir = 0;
    else if (Y > X + X / 2)
        b.cut_dir = 1;
    else
        b.cut_dir = dx * dy < 0 ? 3 : 2;
    b.cut = true;
    b.split_x = 0;
    b.split_y = 0;
}

// Only once the hang time after a dash is over.
void apply_gravity() {
    if (dash_delay <= 14) return;
    show_pose(pose_falling);
    gravity += 1;
    player.y += gravity / 3;
}

void keep_player_in_bounds() {
    if (player.y > floor_y - 1) {
        player.y = floor_y;
        show_pose(pose_standing);
        can_dash = true;
        gravity = 0;
    }
    if (player.x < left_bound) {
        player.x = left_bound;
        can_dash = true;
    }
    if (player.x > right_bound) {
        player.x = right_bound;
        can_dash = true;
    }
}
