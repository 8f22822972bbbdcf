// The round's own sprites, made from the loaded artwork once it is there.
#pragma once

#include <allegro.h>

#include <cstddef>

// Start-up calls this after the assets are loaded: the player's pose surface and the cut
// pieces of every block type; the player stands. On failure returns false with the reason in `why`, and
// what was made is released again.
bool prepare_round_sprites(char* why, size_t why_size);

// Shut-down, before the assets go; safe on a partly prepared set.
void release_round_sprites();

// The player's current pose (player.pose), 64x64, cut from player_panel as it is now.
BITMAP* player_pose_sprite();
