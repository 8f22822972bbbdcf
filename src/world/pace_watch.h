// The pace of a board round as the board will judge it: the round's own clock (20 ms a
// frame, 1.5 s a stage banner) against the time it took, pauses left out, over the whole
// round and over each stretch between two notices, with the board's own allowances
// (play/board_terms.h). Past them the board would find the round too slow, and the player
// deserves to know why before anything is sent.
// Thread: the main thread, from the round's listener.
#pragma once

struct pace_watch {
    int from_ms = 0;  // the end of the first frame, whose wipe is not play
    int from_stage = 0;
    int paused_ms = 0;
    int pause_began_ms = -1;
    // The last notice: the time taken and the own clock there.
    int mark_took_ms = 0;
    int mark_own_ms = 0;
    bool stretch_too_slow = false;

    void start(int now_ms, int stage);
    void pause(int now_ms, int frames, int stages_passed);
    void resume(int now_ms, int frames, int stages_passed);
    // A notice sent at `frames`: the stretch since the one before ends here.
    void mark(int now_ms, int frames, int stages_passed);
    int took_ms(int now_ms) const;
    static int own_ms(int frames, int stages_passed);
    bool too_slow(int frames, int stages_passed, int now_ms) const;
};
