// An additive lagged-Fibonacci generator, x[n] = x[n-3] + x[n-31] (mod 2^32), filled from
// the seed by the Park-Miller step and run 310 steps before its first answer.
#include "play/round_random.h"

namespace {

constexpr int lag = 31;
constexpr int short_lag = 3;
constexpr int warm_up = 10 * lag;

round_random_state state = {};

uint32_t step(round_random_state& s) {
    uint32_t& front = reinterpret_cast<uint32_t&>(s.words[s.front]);
    front += static_cast<uint32_t>(s.words[s.rear]);
    const uint32_t drawn = front >> 1;
    s.front = s.front + 1 == lag ? 0 : s.front + 1;
    s.rear = s.rear + 1 == lag ? 0 : s.rear + 1;
    return drawn;
}

}  // namespace

void seed_round_random(uint32_t seed) {
    int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
    state.words[0] = word;
    for (int i = 1; i < lag; ++i) {
        // 16807 * word mod (2^31 - 1), without overflow (Schrage's method).
        const int32_t hi = word / 127773;
        const int32_t lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        state.words[i] = word;
    }
    state.front = short_lag;
    state.rear = 0;
    for (int i = 0; i < warm_up; ++i) step(state);
}

// Each word takes its own splitmix64 output of the value and its place, so one bit of the
// value changes every word, and the same value on every machine changes them alike.
void mix_round_random(uint32_t value) {
    for (int i = 0; i < lag; ++i) {
        uint64_t z = (uint64_t{value} << 5 | static_cast<uint64_t>(i)) + 0x9e3779b97f4a7c15ULL;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        state.words[i] = static_cast<int32_t>(static_cast<uint32_t>(state.words[i]) ^ static_cast<uint32_t>(z));
    }
}

int round_random() { return static_cast<int>(step(state) & round_random_most); }

round_random_state& round_random_now() { return state; }
