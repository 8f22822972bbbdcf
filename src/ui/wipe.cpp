// The screen wipe.
#include "ui/wipe.h"

#include "platform/host.h"
#include "platform/surfaces.h"

bool screen_lock = false;

void screen_trans(BITMAP* dest, BITMAP* src) {
    playsound(0);
    const int grey = makecol(200, 200, 200);
    const int white = makecol(255, 255, 255);
    for (int i = 0; i < dest->w; i += 3) {
        {
            // One step at a time, so the presenter shows the wipe moving.
            presented_write guard;
            vline(dest, i + 3, 0, dest->h, grey);
            vline(dest, i + 4, 0, dest->h, white);
            blit(src, dest, i, 0, i, 0, 3, src->h);
        }
        wait_ms(1);
    }
}

void wipe_in_if_pending(BITMAP* src) {
    if (!screen_lock) return;
    screen_trans(fake_screen, src);
    screen_lock = false;
}
