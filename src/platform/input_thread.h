// Allegro's background input thread, made to sleep between its 10 ms rounds.
#pragma once

// Call before install_allegro().
void use_quiet_input_thread();

// On X11, after install_allegro(): skips the reader's round trip when no event waits.
void read_x_events_only_when_pending();
