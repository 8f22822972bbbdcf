// Allegro's background input thread, made to sleep between its 10 ms rounds.
#pragma once

// Call before install_allegro().
void use_quiet_input_thread();

// After install_allegro(): true when the library runs this thread and not its own.
bool quiet_input_thread_running();
