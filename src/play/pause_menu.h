// The pause menu: Esc or the right button freezes the round over its last picture;
// Tab saves that picture while the menu is open. A world round's menu hides the field
// and saves nothing: a pause there is not time to study the round.
#pragma once

// Frame step 3: opens the menu and runs its own loop until a button closes it.
void run_pause_menu();

extern const char* const screenshot_path;
