// A million frames of rounds with random clicks, without drawing, across several seeds.
#include <gtest/gtest.h>

#include "soak.h"

using namespace play_testing;

TEST(LongSoakTest, MillionFramesKeepTheRoundConsistent) {
    long frames = 0, rounds = 0, pauses = 0, capped = 0;
    int best_combo = 0, highest_stage = 0;
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        const soak_result r = soak(seed, 250000, false);
        ASSERT_FALSE(r.failed) << "seed " << seed;
        frames += r.frames;
        rounds += r.rounds;
        pauses += r.pauses;
        capped += r.capped;
        best_combo = std::max(best_combo, r.best_combo);
        highest_stage = std::max(highest_stage, r.highest_stage);
    }
    RecordProperty("rounds", static_cast<int>(rounds));
    std::printf("frames %ld, rounds %ld, pauses %ld, best combo %d, highest stage %d, capped %ld\n",
                frames, rounds, pauses, best_combo, highest_stage, capped);
    EXPECT_EQ(frames, 1000000);
    EXPECT_GE(rounds, 20);
    EXPECT_GE(pauses, 1);
    EXPECT_EQ(highest_stage, 5) << "the cap and the last stage were reached";
    EXPECT_GT(capped, 0);
}
