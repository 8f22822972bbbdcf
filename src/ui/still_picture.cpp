// Composing only under the moving cursor.
#include "ui/still_picture.h"

#include <algorithm>
#include <cstring>

#include "platform/fnv_hash.h"
#include "platform/picture_size.h"
#include "platform/surfaces.h"
#include "ui/wipe.h"

void still_picture::start(BITMAP* dest, uint64_t shown, int cursor_y) {
    const int new_top = cursor_y - 16;
    const bool whole = cursor_top == none || screen_lock || shown != last_shown ||
                       presented_writes() != writes_after;
    top = whole ? 0 : std::max(0, std::min(new_top, cursor_top));
    bottom = whole ? screen_h : std::min(screen_h, std::max(new_top, cursor_top) + 32);
    last_shown = shown;
    cursor_top = new_top;
    set_clip_rect(dest, 0, top, screen_w - 1, bottom - 1);
}

void still_picture::finish(BITMAP* dest) {
    set_clip_rect(dest, 0, 0, screen_w - 1, screen_h - 1);
    hand_over_rows(dest, top, bottom);
    writes_after = presented_writes();
}

uint64_t text_key(const char* text) {
    return fnv1a(text, std::strlen(text));
}
