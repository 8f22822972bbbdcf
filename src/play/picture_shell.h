// The round's hooks filled with its picture over plain pixels: what a program without
// Allegro (the browser's module) puts around the rules to see each frame.
#pragma once

#include "play/frame_picture.h"

// From now on each frame draws into `picture` (640x480) from `sheets`, banners included,
// so after a frame `picture` holds what the game shows then; `replay_name`, when given,
// is a replay's label's three letters (a round played shows its quiet line, if any). The
// rest of the shell is bare. All three must outlive its use.
void use_picture_shell(pixel_canvas& picture, const picture_sheets& sheets, const char* replay_name);
