// No window: the picture stays one to one and goes nowhere.
#include "platform/desktop_hooks.h"

namespace {

picture_layout one_to_one() { return {}; }
void show_nothing(BITMAP*, const std::vector<picture_area>&) {}
bool nothing_asked() { return false; }
int no_setting() { return 0; }
void nothing_to_watch() {}

}  // namespace

desktop_hooks desktop = {one_to_one, show_nothing, nothing_asked, no_setting, nothing_to_watch};
