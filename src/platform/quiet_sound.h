// Starting the sound without the sound library's complaints on the terminal: a machine
// with no sound card gets one line saying the game plays without sound.
#pragma once

// Main thread, at start-up: install_sound with Allegro's autodetected digital driver and
// the MIDI driver given.
void start_sound(int midi_driver);
