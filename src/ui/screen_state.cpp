// The screen state and the leave request.
#include "ui/screen_state.h"

#include <atomic>

int game_state = state_title;

namespace {
std::atomic<bool> leave_flag{false};
}  // namespace

void request_leave() { leave_flag = true; }
bool leave_requested() { return leave_flag; }
