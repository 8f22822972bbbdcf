// The player's last choice between full screen and a window, kept in "KZ DATA".
#pragma once

extern const char* const display_choice_path;

// True for full screen: what the file says, and also when it is missing or damaged. A
// file that is there but cannot be read is the player's and is never saved over.
bool remembered_fullscreen();

// Saves the choice atomically; says so on stderr when it cannot.
void remember_display_choice(bool fullscreen);
