// Allegro's input thread notes the loss (the display-switch callback); the main thread takes
// it between frames. One atomic flag is all they share.
#include "platform/window_focus.h"

#include <atomic>

namespace {
std::atomic<bool> focus_lost{false};
}  // namespace

void note_focus_loss() { focus_lost = true; }
bool take_focus_loss() { return focus_lost.exchange(false); }
