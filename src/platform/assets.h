// Artwork, sounds and music: loaded once at start-up, released once at shut-down.
#pragma once

#include <allegro.h>

extern BITMAP* title;          // banner sheet, 480x576: strips 96 high
extern BITMAP* background;     // 640 wide: five stage bands and the confirm mark at (0, 0)
extern BITMAP* player_panel;   // 192x64: dash, standing and falling poses
extern BITMAP* block_pic[3];   // 64x64: plain, time and power block
extern BITMAP* aimer;          // 32x32 aim cursor
extern SAMPLE* sound[5];
extern MIDI* music;
extern int back_word[5];       // top row of each stage's band in `background`

constexpr int sound_slots = 5;

// Loads every file and builds the sprites cut from the sheet and the surfaces. On failure returns false
// and fills `why` with a message that names the file; what was loaded is released again.
bool load_assets(char* why, int why_size);
void release_assets();

// The synthesiser's patch set beside the game; false, with a message naming it, when
// something other than a regular file is there (the music then stays silent).
bool patch_set_is_plain(char* why, int why_size);

// The aim cursor: a white cross with a transparent centre, on magenta.
void draw_aim_cursor(BITMAP* dest);
