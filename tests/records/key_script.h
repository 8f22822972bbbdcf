// Key states scripted over the fake clock, for the name entry's held-key reading.
#pragma once

#include <allegro.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/headless.h"

namespace key_script {

struct key_event {
    int at;  // fake milliseconds
    int key;
    bool down;
};

// Down at `at` and up again 100 ms later: exactly one accepted letter when a pass starts at `at`.
inline std::vector<key_event> tap(int key, int at) { return {{at, key, true}, {at + 100, key, false}}; }

inline std::vector<key_event> operator+(std::vector<key_event> a, const std::vector<key_event>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A name entry still waiting after this much fake time is a fault; the watchdog types a
// name and Enter so the test fails instead of hanging.
constexpr int watchdog_ms = 60 * 1000;

inline void watchdog(int now) {
    if (now < watchdog_ms) return;
    if (now < watchdog_ms + 100) ADD_FAILURE() << "the name entry did not end";
    for (int k : {KEY_A, KEY_B, KEY_C, KEY_ENTER}) key[k] = 1;
}

// Applies the events due now, then on every wait those that have come due; `also` runs
// after them with the new time, for checks in the middle of the entry.
inline void play(std::vector<key_event> events, std::function<void(int)> also = nullptr) {
    auto apply = [events](int now) mutable {
        for (key_event& e : events) {
            if (e.at > now || e.key < 0) continue;
            key[e.key] = e.down;
            e.key = -1;  // done
        }
    };
    apply(0);
    testing_support::world.on_wait = [apply, also](int now) mutable {
        apply(now);
        if (also) also(now);
        watchdog(now);
    };
}

}  // namespace key_script
