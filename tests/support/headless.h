// Test support: Allegro without a display, 32-bit memory surfaces, the game's generated
// assets, a fake clock and a recording sound hook. Every headless test starts here.
#pragma once

#include <allegro.h>

#include <string>

#include "fixture/fake_host.h"

namespace testing_support {

// Starts Allegro with SYSTEM_NONE once, installs the fake host, clears input and the
// record of the fake world. Safe to call from every test's set-up.
void reset_headless();

// Loads the generated assets (and builds the surfaces) once per process, from a scratch
// working directory that links to them; chdir()s there. Fails the test when they are missing.
void load_game_assets();

// A fresh scratch directory for files a test writes; returns its path.
std::string scratch_dir(const std::string& name);

// Input as Allegro keeps it.
void set_mouse(int x, int y, int buttons);
void release_all_keys();

// Pixel helpers for 32-bit memory bitmaps.
int rgb(int r, int g, int b);
int pixel(BITMAP* b, int x, int y);
bool same_pixels(BITMAP* a, BITMAP* b);

}  // namespace testing_support
