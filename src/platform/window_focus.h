// The game's window lost the keyboard focus (another window, a workspace switch,
// minimising). Noted from Allegro's input thread; taken once by the round, which pauses.
#pragma once

void note_focus_loss();
bool take_focus_loss();
