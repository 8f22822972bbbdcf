// The round's picture for the page that plays a replay through play/round_module.h: the
// sheets handed over as the game's own BMP files, and the picture of a frame drawn at the
// frame's drawing step, as the game's screen shows it at the frame's end.
#pragma once

#include <cstdint>

extern "C" {

// Room for one of the game's pictures as its BMP file's bytes, which the caller fills:
// 0 player.bmp, 1 text.bmp, 2 background.bmp. Null for another or an impossible size.
uint8_t* picture_sheet_bytes(int32_t which, int32_t size);
// Reads the three files into the sheets; 1 when they are ready, 0 when one cannot be read.
int32_t picture_sheets_load();

// The three letters of the replay's label, as the game's replay screen shows them.
void picture_name(int32_t first, int32_t second, int32_t third);

// As round_step, with the frame's picture drawn (round_step alone draws nothing).
int32_t round_step_drawn();

// The last picture drawn: 640x480 pixels, row after row, each the bytes red, green, blue
// and 0 (a canvas's order, but for its opacity).
uint32_t* round_picture();

}  // extern "C"
