// Allegro's X event reader, called only when an event is waiting.
#pragma once

// On X11, after install_allegro(): skips the reader's round trip when no event waits.
void read_x_events_only_when_pending();
