// The player's pose surface and the cut pieces, built from the sprite sheet's pictures.
#include "play/sprites.h"

#include <cstdio>

#include "platform/assets.h"
#include "play/cut_pieces.h"
#include "play/round_state.h"

bool prepare_round_sprites(char* why, size_t why_size) {
    player.sprite = create_bitmap(64, 64);
    if (!player.sprite) {
        std::snprintf(why, why_size, "Out of memory creating a 64x64 drawing surface.");
        return false;
    }
    blit(player_panel, player.sprite, 64, 0, 0, 0, 64, 64);
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
    if (player.sprite) destroy_bitmap(player.sprite);
    player.sprite = nullptr;
}
