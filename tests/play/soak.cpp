#include "soak.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "play/render.h"
#include "play_fixture.h"
#include "app/screen_loop.h"
#include "platform/surfaces.h"
#include "ui/wipe.h"
#include "support/headless.h"

namespace play_testing {

using testing_support::set_mouse;
using testing_support::world;

namespace {

// The clicks come from their own generator, so they never shift the round's rand().
class random_player {
public:
    explicit random_player(unsigned seed) : rng(seed) {}

    // Most clicks aim at the block nearest the floor, where it will be once the wind-up
    // is over, so that rounds cut enough to reach the cap; the rest go anywhere.
    void next_frame() {
        if (mouse_b) {
            if (chance(2)) set_mouse(mouse_x, mouse_y, 0);
            return;
        }
        if (chance(60000)) {
            open_pause_menu();
            return;
        }
        if (!chance(4)) return;
        int x = pick(0, 639), y = pick(0, 479);
        const int lowest = lowest_block();
        if (lowest < block_slots && !chance(8)) {
            const block_record& b = block[lowest];
            const int frames_to_get_there = 2 + std::max(std::abs(b.x - player.x), std::abs(b.y - player.y)) / 71;
            x = b.x + pick(-20, 20);
            y = std::min(b.y + frames_to_get_there * b.speed + pick(-20, 20), 479);
        }
        set_mouse(x, y, 1);
    }

    int late_start() { return pick(300, 399); }

    long pauses = 0;

private:
    // The right button opens the menu; a few passes later Continue closes it.
    void open_pause_menu() {
        ++pauses;
        set_mouse(pick(0, 639), pick(0, 479), 2);
        world.on_wait = [](int) {
            if (paused && world.waits.size() > 3) set_mouse(320, 250, 1);
        };
    }

    static int lowest_block() {
        int lowest = block_slots;
        for (int slot = 0; slot < block_slots; ++slot)
            if (block[slot].active && (lowest == block_slots || block[slot].y > block[lowest].y)) lowest = slot;
        return lowest;
    }

    bool chance(int one_in) { return std::uniform_int_distribution<int>(1, one_in)(rng) == 1; }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    std::mt19937 rng;
};

}  // namespace

soak_result soak(unsigned seed, long frames, bool drawing) {
    soak_result r;
    fresh_round(seed);
    skip_drawing = !drawing;
    random_player input(seed);
    long hits = 0;  // every hit of this round, from the sound each one requests
    unsigned round_seed = seed;
    for (; r.frames < frames; ++r.frames) {
        input.next_frame();
        const int cut_before = blocks_cut;
        const int overflow_before = cut_block_overflow;
        world.waits.clear();
        play_frame();
        world.on_wait = nullptr;
        hits += std::count(world.sounds.begin(), world.sounds.end(), 4);
        world.sounds.clear();

        for (int slot = 0; slot < block_slots; ++slot)
            if (block[slot].active && block[slot].cut) {
                ADD_FAILURE() << "slot " << slot << " active and cut at frame " << r.frames;
                r.failed = true;
            }
        if (stage < 1 || stage > 5) {
            ADD_FAILURE() << "stage " << stage << " at frame " << r.frames;
            r.failed = true;
        }
        // blocks_cut changes only in the cap step and the combo resolution, so the cap step
        // must have moved exactly the excess over 400 into the overflow...
        const int excess = std::max(cut_before - 400, 0);
        if (cut_block_overflow - overflow_before != excess) {
            ADD_FAILURE() << "cap moved " << cut_block_overflow - overflow_before << " of " << excess
                          << " at frame " << r.frames;
            r.failed = true;
        }
        // ...and no hit may be lost or counted twice on the way.
        if (blocks_cut + cut_block_overflow + player.combo != hits) {
            ADD_FAILURE() << "hits " << hits << " but " << blocks_cut << " + " << cut_block_overflow
                          << " + " << player.combo << " at frame " << r.frames;
            r.failed = true;
        }
        for (const popup& p : got_combo)
            if (p.timer > 30) {
                ADD_FAILURE() << "hit popup timer " << p.timer;
                r.failed = true;
            }
        if (r.failed) break;

        r.capped += excess > 0;
        r.best_combo = std::max(r.best_combo, blocks_cut - std::min(cut_before, 400));
        r.highest_stage = std::max(r.highest_stage, stage);
        if (game_state != state_play) {
            ++r.rounds;
            game_state = state_play;
            screen_lock = drawing;
            start_round_seeded(++round_seed * 7919u);
            // A round holds too few blocks to reach the cap from nothing, so every other
            // one begins as if most of its blocks had been cut already.
            if (r.rounds % 2) blocks_cut = input.late_start();
            hits = blocks_cut;
        }
    }
    r.pauses = input.pauses;
    skip_drawing = false;
    return r;
}

}  // namespace play_testing
