// Plain-coloured stand-ins for the artwork the end screen draws, so pixel tests do not
// depend on the generated pictures.
#pragma once

#include <allegro.h>

namespace stand_ins {

// Colours of the stand-in pictures, none of them white, yellow or the grey backdrop.
int band_colour(int stage);   // the background band of stage 1..5
int heading_colour();         // the heading strip of the banner sheet
int confirm_colour();         // the 23x9 confirm mark at (0, 0) of the background

// Creates the three surfaces and the stand-in title, background and aimer (a solid white
// 32x32 square), replacing whatever the asset globals held.
void use_stand_in_art();

}  // namespace stand_ins
