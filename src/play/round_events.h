// Who else hears of a round as it goes: the world table, when one is on. The round calls
// these at its moments; with no listener (the board server replaying, tests, the board
// off) each is a no-op, so the rules need nothing of the network.
#pragma once

#include <cstdint>

struct round_listener {
    // Round start: true with the seed of a round someone else drew, played from a fresh start.
    bool (*drawn_seed)(uint32_t* seed);
    void (*frame_done)(int frames);  // after each frame, with the frames played so far
    void (*paused)(int frames);      // the pause menu opens
    void (*resumed)(int frames);     // and closes
    void (*ended)(int frames);       // the time-out, before its banner: the replay's frame count
    int (*pauses_left)();            // for the pause menu; -1 for no such limit
    const char* (*quiet_line)();     // a few words when the round can no longer count; null if it can
    // At the frame that mixes in tick `tick`'s value: true with it when it has come. Once it
    // says false the round asks no more.
    bool (*revealed_value)(int tick, uint32_t* value);
};

// Null for none. Set by whoever listens (the game's world-table link), from the main thread.
void listen_to_rounds(const round_listener* listener);

bool round_seed_drawn_elsewhere(uint32_t* seed);
void tell_frame_done(int frames);
void tell_paused(int frames);
void tell_resumed(int frames);
void tell_round_ended(int frames);
int pauses_left_in_round();
// A round someone else times and counts the pauses of: the world table's. Its pause menu
// hides the field, so a pause is no time to study it.
bool round_held_to_pace();
const char* round_quiet_line();
bool round_value_revealed(int tick, uint32_t* value);
