// A screen whose picture holds still but for the cursor: the title menu, the statistics and
// the highscore table. After a frame composed whole, the next ones compose and hand over only
// the rows the cursor left and the rows it is on; the whole picture again when what the
// screen shows changed, a wipe is due, or another picture was handed over in between.
#pragma once

#include <allegro.h>

#include <cstdint>

class still_picture {
public:
    // Before composing: clips `dest` to the rows to compose. `shown` stands for what the
    // screen shows besides the cursor (a notice, say); `cursor_y` is where the cursor goes.
    void start(BITMAP* dest, uint64_t shown, int cursor_y);
    // After composing, the cursor included: the clip let go and the rows handed over.
    void finish(BITMAP* dest);

private:
    static constexpr int none = -1000;
    int cursor_top = none;  // the cursor's top row in the last frame handed over
    uint64_t last_shown = 0;
    unsigned writes_after = 0;  // presented_writes() after that frame
    int top = 0, bottom = 0;
};

// A stand-in for what a screen shows: a text's bytes.
uint64_t text_key(const char* text);
