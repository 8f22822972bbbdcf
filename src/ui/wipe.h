// The column wipe that brings in each screen's first picture.
#pragma once

#include <allegro.h>

// Set when a screen's loop ends: the next hand-over wipes the new picture in.
extern bool screen_lock;

// Wipes `src` into `dest` left to right, three columns per millisecond step.
void screen_trans(BITMAP* dest, BITMAP* src);

// The second-last step of every screen's hand-over: the wipe, when one is pending.
void wipe_in_if_pending(BITMAP* src);
