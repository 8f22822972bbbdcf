// The picture of a round: the field drawn in `buffer`, composed with the side panels,
// heads-up display and cursor in `frame`, and handed over for display.
#pragma once

// Frame step 15. Only reads the round's records.
void draw_round();

// The soak test runs long rounds without pictures; everything else leaves it false.
extern bool skip_drawing;
