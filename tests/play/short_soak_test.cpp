// A shorter soak with the full picture drawn every frame.
#include <gtest/gtest.h>

#include "soak.h"

using namespace play_testing;

TEST(SoakTest, TwentyThousandDrawnFramesKeepTheRoundConsistent) {
    const soak_result r = soak(11, 20000, true);
    EXPECT_FALSE(r.failed);
    EXPECT_EQ(r.frames, 20000);
    EXPECT_GE(r.rounds, 1);
}
