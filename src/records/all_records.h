// Every data file at once: read at start-up, saved at shut-down and when the display is lost.
#pragma once

// Start-up: removes temporaries of earlier runs from "KZ DATA", then reads both files.
void load_records();

// Shut-down: saves the statistics and any highscore entry an earlier save could not keep.
// False when something the player made this session is not on disk.
bool save_records();
