// The pace of a board round as the board will judge it: the round's own clock (20 ms a
// frame, 1.5 s a stage banner) against the time it took, pauses left out. Past the
// allowance the board would find the round too slow, and the player deserves to know why
// before anything is sent.
// Thread: the main thread, from the round's listener.
#pragma once

struct pace_watch {
    int from_ms = 0;  // the end of the first frame, whose wipe is not play
    int from_stage = 0;
    int paused_ms = 0;
    int pause_began_ms = -1;

    void start(int now_ms, int stage);
    void pause(int now_ms);
    void resume(int now_ms);
    int took_ms(int now_ms) const;
    static int own_ms(int frames, int stages_passed);
    bool too_slow(int frames, int stages_passed, int now_ms) const;
};
