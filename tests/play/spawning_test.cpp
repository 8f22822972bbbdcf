// Spawning, the special-block schedule, block motion, the cap and the stages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "play/round_random.h"
#include "play/spawning.h"
#include "play_fixture.h"
#include "platform/surfaces.h"
#include "support/headless.h"

using namespace play_testing;
using testing_support::pixel;
using testing_support::world;

namespace {

// Spawns one block into a field kept empty, so every call spawns into slot 0.
const block_record& spawn_into_empty_field() {
    for (block_record& b : block) b.active = b.cut = false;
    till_next = 1000;
    spawn_block();
    return block[0];
}

TEST(SpawnTest, DrawsColumnThenSpeedAndWaitsForItsInterval) {
    for (unsigned seed : {1u, 7u, 12345u}) {
        fresh_round(seed);
        srand(seed);
        const int column = rand() % 10;
        const int speed = rand() % 2 + 2;
        fresh_round(seed);
        till_next = 23;
        spawn_block();
        EXPECT_FALSE(block[0].active) << "24 frames are not yet the interval of 25";
        spawn_block();
        ASSERT_TRUE(block[0].active);
        EXPECT_EQ(block[0].x, column * 32 + 192);
        EXPECT_EQ(block[0].y, -32);
        EXPECT_EQ(block[0].speed, speed);
        EXPECT_EQ(block[0].type, 0);
        EXPECT_EQ(till_next, 0);
        EXPECT_EQ(special_countdown, 19);
    }
}

TEST(SpawnTest, IntervalAndSpeedFollowBlocksCut) {
    fresh_round();
    blocks_cut = 400;
    till_next = 7;
    spawn_block();
    EXPECT_FALSE(block[0].active);
    spawn_block();
    EXPECT_TRUE(block[0].active) << "9 frames apart at 400 blocks";
    EXPECT_GE(block[0].speed, 6);
    EXPECT_LE(block[0].speed, 7);
}

TEST(SpawnTest, FullFieldHoldsTheBlockUntilASlotIsFree) {
    fresh_round();
    for (int slot = 0; slot < 20; ++slot) place_block(slot, 192, 100);
    till_next = 30;
    spawn_block();
    EXPECT_EQ(till_next, 31);
    block[13].active = false;
    block[13].cut = true;  // pieces still drifting: not free
    block[17].active = false;
    spawn_block();
    EXPECT_TRUE(block[17].active);
    EXPECT_EQ(block[17].y, -32);
    EXPECT_FALSE(block[13].active);
}

// Every stored replay rests on the sequence glibc's rand() gave the round: seeds at the
// edges (0 acts as 1, the top bit set) and ordinary ones, far into the sequence.
TEST(SpawnTest, TheRoundsGeneratorDrawsWhatRandDrew) {
    for (unsigned seed : {0u, 1u, 2u, 7u, 12345u, 0x7fffffffu, 0x80000000u, 0xdeadbeefu, 0xffffffffu}) {
        srand(seed);
        seed_round_random(seed);
        for (int i = 0; i < 200000; ++i) ASSERT_EQ(round_random(), rand()) << "seed " << seed << ", draw " << i;
    }
}

// A board's value mixed in changes every draw after it, the same way on every machine; a
// round that mixes nothing draws what it always drew.
TEST(SpawnTest, AValueMixedInTurnsTheSequenceAndOnlyIt) {
    auto draws_after = [](unsigned seed, const std::vector<uint32_t>& mixed) {
        seed_round_random(seed);
        for (int i = 0; i < 100; ++i) round_random();
        for (uint32_t v : mixed) mix_round_random(v);
        std::vector<int> out;
        for (int i = 0; i < 1000; ++i) out.push_back(round_random());
        return out;
    };
    srand(42);
    for (int i = 0; i < 100; ++i) rand();
    const std::vector<int> unmixed = draws_after(42, {});
    for (int drawn : unmixed) ASSERT_EQ(drawn, rand());
    EXPECT_EQ(draws_after(42, {7}), draws_after(42, {7}));
    for (uint32_t other : {6u, 0u, 0x80000007u, 7u << 27}) {
        const std::vector<int> a = draws_after(42, {7}), b = draws_after(42, {other});
        int same = 0;
        for (size_t i = 0; i < a.size(); ++i) same += a[i] == b[i];
        EXPECT_LT(same, 5) << "value " << other << " against 7";
    }
    EXPECT_NE(draws_after(42, {0}), unmixed) << "even a zero turns it";
}

TEST(SpecialBlockTest, TwentySecondBlockIsSpecialThenTheDrawnCountdownRuns) {
    for (unsigned seed : {3u, 99u, 2024u}) {
        fresh_round(seed);
        srand(seed);
        for (int i = 0; i < 22 * 2; ++i) rand();
        const int t = rand() % 4 + 1;
        const int countdown = rand() % 15 + 20;
        fresh_round(seed);
        for (int i = 1; i <= 21; ++i) ASSERT_EQ(spawn_into_empty_field().type, 0) << "block " << i;
        EXPECT_EQ(spawn_into_empty_field().type, t > 2 ? 1 : 2);
        EXPECT_EQ(special_balance, t > 2 ? 3 : 1);
        EXPECT_EQ(special_countdown, countdown - 1);
        for (int i = 0; i < countdown; ++i) ASSERT_EQ(spawn_into_empty_field().type, 0);
        EXPECT_NE(spawn_into_empty_field().type, 0);
    }
}

TEST(SpecialBlockTest, BalanceAtFourForcesPowerAndAtZeroForcesTime) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        fresh_round(seed);
        special_countdown = -1;
        special_balance = 4;
        EXPECT_EQ(spawn_into_empty_field().type, 2);
        EXPECT_EQ(special_balance, 3);
        special_countdown = -1;
        special_balance = 0;
        EXPECT_EQ(spawn_into_empty_field().type, 1);
        EXPECT_EQ(special_balance, 1);
    }
}

TEST(SpecialBlockTest, SpacingGrowsWithBlocksCut) {
    fresh_round(5);
    blocks_cut = 400;
    special_countdown = -1;
    spawn_into_empty_field();
    EXPECT_GE(special_countdown, 40 - 1);
    EXPECT_LE(special_countdown, 54 - 1);
}

TEST(BlockMotionTest, FloorPenaltyTakesFiveSecondsAndSinksAPopup) {
    fresh_round();
    place_block(4, 256, 447, 0, 2);
    move_blocks();
    EXPECT_TRUE(block[4].active) << "449 is still above the floor line";
    EXPECT_EQ(time_left, 150);
    move_blocks();
    EXPECT_FALSE(block[4].active);
    EXPECT_FALSE(block[4].cut) << "no pieces";
    EXPECT_EQ(time_left, 145);
    EXPECT_EQ(lost_time.x, 256);
    EXPECT_EQ(lost_time.y, 451 - 30);
    EXPECT_EQ(lost_time.timer, 25);
    EXPECT_EQ(count_of(world.sounds, 1), 1);
}

TEST(BlockMotionTest, TwoBlocksAtTheFloorCostTenAndTheHigherSlotShows) {
    fresh_round();
    place_block(2, 192, 449, 0, 3);
    place_block(9, 480, 448, 0, 2);
    move_blocks();
    EXPECT_EQ(time_left, 140);
    EXPECT_EQ(lost_time.x, 480);
}

TEST(BlockMotionTest, NewBlockAtSpeedTwoReachesTheFloorAfter241Frames) {
    fresh_round();
    place_block(0, 192, -32, 0, 2);
    for (int i = 0; i < 240; ++i) move_blocks();
    EXPECT_TRUE(block[0].active);
    move_blocks();
    EXPECT_FALSE(block[0].active);
}

TEST(BlockMotionTest, PiecesStayPutDriftEighteenFramesByDirectionThenFreeTheSlot) {
    const int step[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};
    for (int d = 0; d < 4; ++d) {
        fresh_round();
        block_record& b = place_block(0, 300, 200, 0, 5);
        b.active = false;
        b.cut = true;
        b.cut_dir = d;
        for (int i = 1; i <= 18; ++i) {
            move_blocks();
            ASSERT_TRUE(b.cut) << "drift " << i;
        }
        EXPECT_EQ(b.split_x, 18 * step[d][0]);
        EXPECT_EQ(b.split_y, 18 * step[d][1]);
        EXPECT_EQ(b.y, 200);
        move_blocks();
        EXPECT_FALSE(b.cut);
    }
}

TEST(CapTest, ThreeHitDashAt399StartsStageFiveThenCapsWithOverflow) {
    fresh_round();
    stand_player_at(320);
    blocks_cut = 399;
    stage = 4;
    for (int i = 0; i < 3; ++i) place_block(i, 320, 420 - 50 * i);
    click_at(320, 200);
    while (player.combo != 0 || blocks_cut == 399) {
        ASSERT_LT(world.now, 1000000);
        play_frame();
    }
    EXPECT_EQ(blocks_cut, 402) << "resolved after this frame's cap";
    EXPECT_EQ(stage, 5);
    EXPECT_EQ(count_of(world.waits, 1500), 1);
    play_frame();
    EXPECT_EQ(blocks_cut, 400);
    EXPECT_EQ(cut_block_overflow, 2);
    EXPECT_EQ(stage, 5);
}

TEST(CapTest, OverflowAddsUp) {
    fresh_round();
    blocks_cut = 405;
    cut_block_overflow = 7;
    cap_blocks_cut();
    EXPECT_EQ(blocks_cut, 400);
    EXPECT_EQ(cut_block_overflow, 12);
    cap_blocks_cut();
    EXPECT_EQ(cut_block_overflow, 12);
}

TEST(StageTest, EachHundredShowsTheBannerClearsTheFieldAndHolds1500ms) {
    for (int next = 2; next <= 5; ++next) {
        fresh_round();
        stage = next - 1;
        blocks_cut = 100 * (next - 1) - 1;
        place_block(3, 300, 100);
        advance_stage();
        EXPECT_EQ(stage, next - 1) << "one short of the hundred";
        EXPECT_TRUE(world.waits.empty());

        blocks_cut += 1;
        block_record& pieces = place_block(6, 300, 100);
        pieces.active = false;
        pieces.cut = true;
        clear_to_color(fake_screen, 0);
        advance_stage();
        EXPECT_EQ(stage, next);
        EXPECT_FALSE(block[3].active);
        EXPECT_TRUE(block[6].cut) << "pieces drift on";
        EXPECT_EQ(time_left, 150) << "no penalty";
        EXPECT_EQ(till_next, -30);
        EXPECT_EQ(world.waits, std::vector<int>{1500});
        EXPECT_EQ(count_of(world.sounds, 3), 1);
        EXPECT_EQ(pixel(fake_screen, 150 + 100, 150 + 50), stage_word_colour());
        EXPECT_EQ(pixel(fake_screen, 370 + 20, 150 + 50), stage_digit_colour(next));
        EXPECT_EQ(pixel(fake_screen, 370 + 20, 150), 0) << "masked";
        EXPECT_EQ(pixel(fake_screen, 370 + 38, 150 + 50), 0);
    }
}

TEST(StageTest, FirstFrameStartsStageOneAndHoldsSpawningFiftyFiveFrames) {
    fresh_round();
    till_next = 500;  // carried over: a block spawns in the first frame
    play_frame();
    EXPECT_EQ(stage, 1);
    EXPECT_FALSE(block[0].active) << "cleared by the stage-1 advance";
    int frames = 0;
    while (!block[0].active && frames < 100) {
        play_frame();
        ++frames;
    }
    EXPECT_EQ(frames, 55);
}

}  // namespace
