// The bare shell, which the rules start with.
#include "play/round_shell.h"

namespace {
void nothing() {}
constexpr round_shell bare = {nothing, nothing, nothing, nothing, nothing, nothing, nothing};
}  // namespace

round_shell shell = bare;

void use_bare_shell() { shell = bare; }
