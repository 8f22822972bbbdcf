// A round revealed as it is played: a program that commits its input at each tick and mixes
// in the values it was given is the round the board checks it against; one whose input
// differs anywhere from what it committed, or that was played on any other values, is not.
// And a tick gets its value only once the round can have reached its frame.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "board/round_draws.h"
#include "board/round_verifier.h"
#include "play/headless_replay.h"
#include "board_player.h"

namespace {

using nlohmann::json;

// What the board keeps of a round played through play_for_board, without the store.
struct board_in_memory {
    std::vector<round_commitment> kept;
    uint32_t next_value = 0x9e3779b9;

    int answer(const std::string& body, std::string& out) {
        const json n = json::parse(body);
        if (n["event"] == "start") {
            out = R"({"seed": 4711})";
            return 200;
        }
        round_commitment c;
        c.frame = n["frame"];
        c.end = n["event"] == "end";
        c.digest = n["digest"];
        c.value = c.end ? 0 : (next_value = next_value * 1664525u + 1013904223u);
        kept.push_back(c);
        out = c.end ? "" : json{{"value", c.value}}.dump();
        return c.end ? 204 : 200;
    }
};

struct RoundReveal : ::testing::Test {
    board_in_memory board;
    std::unique_ptr<replay> played = std::make_unique<replay>();

    void SetUp() override {
        const board_testing::board_play p = board_testing::play_for_board(
            [this](const std::string& body, std::string& out) { return board.answer(body, out); }, 25, "HON", *played);
        ASSERT_TRUE(p.played) << p.problem;
        prepare_headless_replay();
    }

    std::string problem_of(const replay& r) { return commitment_problem(board.kept, r); }
};

TEST_F(RoundReveal, TheRoundAsCommittedOnTheValuesDrawnIsTheOneChecked) {
    ASSERT_GE(played->frames, 4000) << "a busy round with many ticks";
    EXPECT_EQ(static_cast<int32_t>(played->value_count), values_mixed_in(played->frames));
    EXPECT_EQ(problem_of(*played), "");
    EXPECT_TRUE(outcome_matches(*played, verify_here(*played).outcome));

    // The same input on no values at all is another round: its figures differ.
    const auto bare = std::make_unique<replay>(*played);
    bare->value_count = 0;
    const replay_outcome o = verify_here(*bare).outcome;
    EXPECT_FALSE(outcome_matches(*played, o));
}

TEST_F(RoundReveal, AnInputThatDiffersAnywhereFromWhatWasCommittedIsRefused) {
    // Before the first tick, between two ticks, and after the last one (only the end saw it).
    const int32_t last_tick = (played->frames - 1) / frames_between_ticks * frames_between_ticks;
    for (int32_t frame : {1, frames_between_ticks, 3 * frames_between_ticks + 17, played->frames}) {
        const auto changed = std::make_unique<replay>(*played);
        board_testing::move_pointer_at(*changed, frame);
        const std::string problem = problem_of(*changed);
        const int32_t first_broken = frame > last_tick ? played->frames
                                                       : (frame + frames_between_ticks - 1) / frames_between_ticks *
                                                             frames_between_ticks;
        EXPECT_NE(problem.find("is not what the"), std::string::npos) << "frame " << frame << ": " << problem;
        EXPECT_NE(problem.find("at frame " + std::to_string(first_broken) + " committed"), std::string::npos)
            << "frame " << frame << ": " << problem;
    }
    // With no digest of its end, nothing commits the last stretch.
    std::vector<round_commitment> no_end = board.kept;
    no_end.pop_back();
    EXPECT_NE(commitment_problem(no_end, *played).find("missing notices"), std::string::npos);
}

TEST_F(RoundReveal, ARoundPlayedOnOtherValuesIsRefused) {
    ASSERT_GE(played->value_count, 3u);
    // Each tick's value swapped for a later tick's, as a program that waited for them would.
    const auto later = std::make_unique<replay>(*played);
    for (uint32_t i = 0; i + 1 < later->value_count; ++i) later->values[i] = played->values[i + 1];
    // One value off by one bit; one left out; one more than the round reached.
    const auto off = std::make_unique<replay>(*played);
    off->values[1] ^= 1;
    const auto fewer = std::make_unique<replay>(*played);
    --fewer->value_count;
    const auto more = std::make_unique<replay>(*played);
    more->values[more->value_count++] = 5;
    for (const replay* r : {later.get(), off.get(), fewer.get(), more.get()})
        EXPECT_NE(problem_of(*r).find("other values than the board drew"), std::string::npos) << problem_of(*r);
    // A replay with a value past those its frames reach does not verify either.
    EXPECT_TRUE(verify_here(*more).outcome.input_damaged);
}

// The tick at frame 250 has its own clock at 6480 ms at least; the earliest it may come is
// the timing rule's, that less 5 % and 2.5 s (3656 ms) after the start, plus any time paused before it.
TEST(TickTiming, AValueOnlyOnceTheRoundCanHaveReachedItsTick) {
    auto tick_at = [](int64_t elapsed, int64_t paused) {
        std::vector<stamped_notice> n{{0, 0, notice_event::start, 1000}};
        if (paused > 0) {
            n.push_back({1, 100, notice_event::pause, 3000});
            n.push_back({2, 100, notice_event::resume, 3000 + paused});
        }
        n.push_back({static_cast<int64_t>(n.size()), frames_between_ticks, notice_event::tick, 1000 + elapsed});
        return tick_too_early(n, n.back().seq);
    };
    EXPECT_EQ(tick_at(6480, 0), "");
    EXPECT_EQ(tick_at(3656, 0), "");
    EXPECT_EQ(tick_at(3655, 0), "too fast: the tick at frame 250 came 3655 ms after the start");
    EXPECT_EQ(tick_at(0, 0), "too fast: the tick at frame 250 came 0 ms after the start");
    // A pause stops the round's clock: the time spent in it does not bring the tick closer.
    EXPECT_NE(tick_at(33655, 30000), "");
    EXPECT_EQ(tick_at(33656, 30000), "");
}

}  // namespace
