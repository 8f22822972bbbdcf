#include "bench/bench_figures.h"

#include <algorithm>

#include "play/round_state.h"

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void crowd_the_field(std::mt19937& rng) {
    int falling = 0;
    for (const block_record& b : block) falling += b.active;
    for (block_record& b : block) {
        if (falling >= 14) break;
        if (b.active || b.cut) continue;
        b = {};
        b.active = true;
        b.x = 192 + 32 * std::uniform_int_distribution<int>(0, 9)(rng);
        b.y = std::uniform_int_distribution<int>(-32, 380)(rng);
        b.speed = std::uniform_int_distribution<int>(2, 7)(rng);
        b.type = std::uniform_int_distribution<int>(0, 2)(rng);
        ++falling;
    }
}
