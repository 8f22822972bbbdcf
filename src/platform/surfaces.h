// The three 640x480 drawing surfaces and the presenter that shows `fake_screen`.
// Screens compose in `buffer` (the round also in `frame`) and hand the finished picture
// to `fake_screen`; `draw_screen` copies what changed to the display every 17 ms on Allegro's
// timer thread.
#pragma once

#include <allegro.h>

#include "platform/picture_area.h"
#include "platform/picture_size.h"

extern BITMAP* buffer;
extern BITMAP* frame;
extern BITMAP* fake_screen;

// Allegro's rectfill, pixel for pixel, for the large areas a frame clears: a 32-bit memory
// bitmap is filled a row at a time in vector code (Allegro's own fill goes pixel by pixel).
void fill_area(BITMAP* dest, int x0, int y0, int x1, int y1, int color);

// Timer callback: copies the rows of fake_screen that changed to the display. It only
// presents: the display's own changes are made on the main thread.
void draw_screen();

// Writes to fake_screen so far (hand-overs, banners, wipe steps): a screen that finds the
// count moved since its own last hand-over knows another picture came in between.
unsigned presented_writes();

// After the display changed its layout: the next tick shows the whole picture.
void show_whole_picture_again();

// Every write to fake_screen from the main thread goes through one of these, under the
// same lock the presenter takes, so the display never shows a half-written picture.
void hand_over(BITMAP* src);                                   // whole-surface copy
void hand_over_rows(BITMAP* src, int top, int bottom);  // the same, where rows outside
                                                        // [top, bottom) are known unchanged
void hand_over_area(BITMAP* src, const picture_area& part);     // and outside `part`
void present_masked(BITMAP* sheet, int sx, int sy, int dx, int dy, int w, int h);  // banners
class presented_write {                                        // any other write (the wipe)
public:
    presented_write();
    ~presented_write();
    presented_write(const presented_write&) = delete;
    presented_write& operator=(const presented_write&) = delete;
};

