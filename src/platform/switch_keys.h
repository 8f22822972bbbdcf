// F11 and Alt+Enter, which switch between full screen and a window. Allegro's input thread
// sees the keys; the main thread carries the switch out between frames.
#pragma once

// Puts the watcher in front of the game's own key watcher.
void watch_switch_keys();

// Main thread: true once for each switch asked for since the last call.
bool switch_asked();
