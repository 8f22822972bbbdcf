// The player's pose surface and the cut pieces, built from the sprite sheet's pictures.
#include "play/sprites.h"

#include <cstdio>

#include "platform/assets.h"
#include "play/cut_pieces.h"
#include "play/dash.h"
#include "play/round_state.h"

namespace {
BITMAP* pose_sprite = nullptr;
}  // namespace

bool prepare_round_sprites(char* why, size_t why_size) {
    pose_sprite = create_bitmap(64, 64);
    if (!pose_sprite) {
        std::snprintf(why, why_size, "Out of memory creating a 64x64 drawing surface.");
        return false;
    }
    player.pose = pose_standing;
    for (int type = 0; type < 3; ++type) {
        if (!cut_the_blocks(type)) {
            std::snprintf(why, why_size, "Out of memory creating the cut pieces.");
            release_round_sprites();
            return false;
        }
    }
    return true;
}

void release_round_sprites() {
    for (int type = 0; type < 3; ++type) clean_cut_blocks(type);
    if (pose_sprite) destroy_bitmap(pose_sprite);
    pose_sprite = nullptr;
}

// Copied afresh at each use: the sheet is small, and tests swap in sheets of their own.
BITMAP* player_pose_sprite() {
    if (pose_sprite) blit(player_panel, pose_sprite, player.pose, 0, 0, 0, 64, 64);
    return pose_sprite;
}
