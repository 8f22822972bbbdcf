// The game's side of a round: Allegro's mouse, the pause menu, the picture with its
// banners, and the totals saved at the round's end.
#pragma once

#include <allegro.h>

// Puts the game's shell around the rules. Start-up calls it, and so does the tests' fake world.
void use_game_shell();

// What a replay draws over each frame's picture, or null; set by whoever shows one.
extern void (*replay_label)(BITMAP* picture);
