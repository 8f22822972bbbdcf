// Key presses queued in the order they happen, so one made between two reads is not lost.
#pragma once

// The keyboard's low-level callback, installed at start-up (Allegro's input thread): queues
// each press. Repeats and releases are not presses.
void note_key_press(int scancode);

// The oldest press not yet taken; false when there is none. Main thread only.
bool take_key_press(int* scancode);

// Drops every press not yet taken.
void forget_key_presses();
