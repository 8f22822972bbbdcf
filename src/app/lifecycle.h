// Start-up and shut-down of the whole program.
#pragma once

#include <string>

#include "app/command_line.h"

// Starts the library, opens the display (full screen, else a window), loads every asset,
// reads the data files and installs the presenter. On failure it has said why, loaded
// nothing that stays and written nothing; the caller just ends.
bool start_up(const launch_options& options);

// The command line's --board URL or --board off, remembered in "KZ DATA". False (and a
// word on stderr) for an address the game will not use.
bool choose_board(const std::string& url_or_off);

// Stops the presenter, saves the statistics and releases what start-up made. False when
// something the player made could not be saved (the player has been told).
bool shut_down();
