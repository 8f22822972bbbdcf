// Key states scripted over the fake clock, for the name entry's held-key reading.
#pragma once

#include <allegro.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/key_presses.h"
#include "support/headless.h"

namespace key_script {

struct key_event {
    int at;  // fake milliseconds
    int key;
    bool down;
    bool queued = false;  // also through the keyboard callback, as a real keyboard does
};

// Down at `at` and up again 100 ms later: exactly one accepted letter when a pass starts at `at`.
inline std::vector<key_event> tap(int key, int at) { return {{at, key, true}, {at + 100, key, false}}; }

// A real keystroke: down at `at` for `ms`, through the key state and the press queue alike.
inline std::vector<key_event> stroke(int key, int at, int ms) {
    return {{at, key, true, true}, {at + ms, key, false, true}};
}

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
    std::stable_sort(events.begin(), events.end(),
                     [](const key_event& a, const key_event& b) { return a.at < b.at; });
    auto apply = [events](int now) mutable {
        for (key_event& e : events) {
            if (e.at > now || e.key < 0) continue;
            key[e.key] = e.down;
            if (e.queued) note_key_press(e.down ? e.key : e.key | 0x80);
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
