// The pictures of the game, one function each. Every function draws into an Allegro
// memory bitmap in the current (32-bit) colour depth; make_assets saves them.
#pragma once

struct BITMAP;

// Sprite sheet: rows 0-63 the player's dash, standing and falling poses; rows 64-127
// the plain, time and power blocks. 192 x 128, magenta where transparent.
void draw_player_poses(BITMAP* sheet);
void draw_blocks(BITMAP* sheet);

// Banner sheet, 480 x 576 on magenta: title, pause, time up, highscores, the stage word
// with its five digits, statistics.
void draw_banners(BITMAP* sheet);

// Background, 640 x 615: five 100-row stage bands and the name-entry confirm mark at (0, 0).
void draw_background(BITMAP* picture);
