// The round's randomness: the additive generator the game has always drawn from (the one
// glibc's rand() runs), kept here so a round plays the same under any C library and in a
// browser, and every stored replay keeps its figures.
#pragma once

#include <cstdint>

constexpr int round_random_most = 0x7fffffff;

// Starts the sequence anew, as srand(seed) did.
void seed_round_random(uint32_t seed);

// The next number, 0 to round_random_most, as rand() gave it.
int round_random();

// Folds a value drawn elsewhere (the board's, during a board round) into every word of the
// state, so what follows depends on it; the same value always gives the same sequence.
void mix_round_random(uint32_t value);

// The whole state, so a round can be carried, compared or restored.
struct round_random_state {
    int32_t words[31];
    int front;  // where the next sum is written
    int rear;
};
round_random_state& round_random_now();
