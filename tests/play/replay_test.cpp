// A round recorded while it is played, then played back from its replay: the same
// pictures and the same figures, whatever the player did, pauses included.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "play/game_shell.h"
#include "play/headless_replay.h"
#include "play/round_module.h"
#include "play/round_replay.h"
#include "play/round_shell.h"
#include "play/render.h"
#include "play_fixture.h"
#include "platform/fnv_hash.h"
#include "platform/surfaces.h"
#include "records/highscore_table.h"
#include "records/lifetime_stats.h"
#include "support/headless.h"
#include "ui/screen_state.h"

using namespace play_testing;
using testing_support::set_mouse;
using testing_support::world;

namespace {

void press_key(int k, bool down) { const_cast<char*>(key)[k] = down ? 1 : 0; }

uint64_t picture_sum(BITMAP* b) {
    uint64_t h = fnv1a_offset_basis;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x) {
            const uint32_t pixel = static_cast<uint32_t>(getpixel(b, x, y));
            h = fnv1a(&pixel, sizeof pixel, h);
        }
    return h;
}

constexpr int picture_every = 97;

struct played {
    std::vector<uint64_t> pictures;  // every picture_every-th frame and the last
    int32_t score, blocks_cut, best_combo;
    int frames = 0;
    int pauses = 0;
    bool dash_in_last_frame = false;
    bool time_bonus = false;   // a time block was cut
    bool power_block = false;  // a power block was cut
    int highest_stage = 0;
};

// A hand on the mouse: small moves every frame, jumps, clicks about twice a second, now
// and then a pause by Esc or the right button closed with Continue, and a click on the
// frame that the clock runs out in. An aiming hand clicks at the blocks, which takes it
// through the stages.
played play_scripted_round(unsigned seed, bool drawing, bool aiming = false) {
    fresh_round(seed);
    // Leftovers of an earlier round that the replay has to bring back.
    till_next = 24;
    player.facing = 1;
    got_combo[2] = {300, 200, 20};
    lost_time = {250, 420, 12};
    start_round_seeded(seed);
    skip_drawing = !drawing;

    std::mt19937 rng(seed);
    auto chance = [&](int one_in) { return std::uniform_int_distribution<int>(1, one_in)(rng) == 1; };
    auto step = [&](int v, int limit) { return std::clamp(v + std::uniform_int_distribution<int>(-12, 12)(rng), 0, limit); };
    played p;
    int menu_passes = 0;
    world.on_wait = [&](int) {
        if (world.waits.back() != 20 || !paused) return;
        ++menu_passes;
        if (menu_passes == 1) press_key(KEY_ESC, false);
        if (menu_passes == 4) {  // Continue, with a press of its own
            set_mouse(320, 250, 0);
            set_mouse(320, 250, 1);
        }
    };
    int x = 320, y = 240, buttons = 0;
    while (game_state == state_play) {
        if (chance(50)) {
            x = std::uniform_int_distribution<int>(0, 639)(rng);
            y = std::uniform_int_distribution<int>(0, 479)(rng);
        } else {
            x = step(x, 639);
            y = step(y, 479);
        }
        if (buttons) {
            buttons = chance(2) ? 0 : buttons;
        } else if (chance(aiming ? 6 : 25)) {
            buttons = 1;
            for (const block_record& b : block) {
                if (!aiming || !b.active || chance(3)) continue;
                x = std::clamp(b.x, 0, 639);
                y = std::clamp(b.y + 20, 0, 479);
                break;
            }
        }
        if (time_left == 0 && play_time[0] == 38) buttons = 0;  // so the last frame can dash
        if (time_left < 0) buttons = 1;
        menu_passes = 0;
        if (chance(900)) {
            buttons = 2;
            ++p.pauses;
        } else if (chance(900)) {
            press_key(KEY_ESC, true);
            ++p.pauses;
        }
        set_mouse(x, y, buttons);
        play_frame();
        ++p.frames;
        p.time_bonus |= time_bonus > 0;
        p.power_block |= power_factor > 0;
        p.highest_stage = std::max(p.highest_stage, stage);
        buttons = mouse_b;  // what the menu's click left held
        if (drawing && p.frames % picture_every == 0) p.pictures.push_back(picture_sum(frame));
    }
    world.on_wait = nullptr;
    p.dash_in_last_frame = dash_delay == 1;
    if (drawing) p.pictures.push_back(picture_sum(frame));
    p.score = shown_score(player.score);
    p.blocks_cut = static_cast<int32_t>(finished_round_figures().blocks_cut);
    p.best_combo = best_combo;
    return p;
}

played play_back(const replay& r, bool drawing) {
    // Another round's leftovers, which the replay must not see.
    till_next = 0;
    player.facing = 0;
    for (popup& pop : got_combo) pop = {};
    skip_drawing = !drawing;
    played p;
    start_replay(r);
    for (bool more = true; more;) {
        more = play_replay_frame();
        ++p.frames;
        if (drawing && p.frames % picture_every == 0) p.pictures.push_back(picture_sum(frame));
    }
    stop_replay();
    if (drawing) p.pictures.push_back(picture_sum(frame));
    return p;
}

replay& bytes_and_back(const replay& r, std::vector<uint8_t>& bytes) {
    static replay back;
    bytes.resize(replay_file_room);
    bytes.resize(write_replay_bytes(r, bytes.data()));
    EXPECT_EQ(read_replay_bytes(bytes.data(), bytes.size(), back), replay_status::read);
    return back;
}

TEST(ReplayTest, RecordedRoundsReplayToTheSamePicturesAndFigures) {
    bool some_last_frame_dash = false;
    int pauses = 0;
    for (unsigned seed : {1u, 7u, 42u, 2024u}) {
        SCOPED_TRACE(seed);
        const bool drawing = seed == 1;  // one round drawn, frame for frame; the rest fast
        const played live = play_scripted_round(seed, drawing);
        some_last_frame_dash |= live.dash_in_last_frame;
        pauses += live.pauses;
        ASSERT_TRUE(recorded_round_complete());
        EXPECT_EQ(recorded_round.frames, live.frames);
        EXPECT_EQ(recorded_round.score, live.score);
        EXPECT_GT(live.score, 0);

        std::vector<uint8_t> bytes;
        const replay& back = bytes_and_back(recorded_round, bytes);
        EXPECT_LT(bytes.size(), 16u * 1024) << "a busy round fits in 16 KB";

        const int games = t_games, combo_record = m_combo, state = game_state;
        const played again = play_back(back, drawing);
        EXPECT_EQ(again.frames, live.frames);
        EXPECT_EQ(again.pictures, live.pictures);
        const replay_outcome o = verify_replay(back);
        EXPECT_TRUE(o.finished);
        EXPECT_EQ(o.score, live.score);
        EXPECT_EQ(o.blocks_cut, live.blocks_cut);
        EXPECT_EQ(o.best_combo, live.best_combo);
        EXPECT_TRUE(outcome_matches(back, o));
        EXPECT_EQ(t_games, games) << "watching is no game";
        EXPECT_EQ(m_combo, combo_record);
        EXPECT_EQ(game_state, state);
    }
    EXPECT_TRUE(some_last_frame_dash);
    EXPECT_GT(pauses, 0);
}

TEST(ReplayTest, AnotherClaimedScoreOrAnyChangedByteFailsVerification) {
    play_scripted_round(5, false);
    ASSERT_TRUE(recorded_round_complete());
    static replay claimed;
    claimed = recorded_round;
    claimed.score += 10;
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(outcome_matches(claimed, verify_replay(bytes_and_back(claimed, bytes))));

    bytes_and_back(recorded_round, bytes);
    static replay r;
    int read_anyway = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        for (uint8_t flip : {0x01, 0x80, 0xff}) {
            bytes[i] ^= flip;
            read_anyway += read_replay_bytes(bytes.data(), bytes.size(), r) == replay_status::read;
            bytes[i] ^= flip;
        }
    }
    EXPECT_EQ(read_anyway, 0);
    EXPECT_EQ(read_replay_bytes(bytes.data(), bytes.size() - 1, r), replay_status::damaged);
}

// The calls the browser's module exports, on the bare rules as the module has them: frame
// by frame to verify's figures, and no verdict for bytes or claims that do not hold.
TEST(ReplayTest, TheModulesCallsPlayAReplayFrameByFrameAsVerifyDoes) {
    play_scripted_round(6, false, true);  // aimed: a round of thousands of frames
    ASSERT_TRUE(recorded_round_complete());
    std::vector<uint8_t> bytes;
    const replay_outcome verified = verify_replay(bytes_and_back(recorded_round, bytes));
    ASSERT_TRUE(verified.finished);
    auto load = [](const std::vector<uint8_t>& b) {
        uint8_t* room = round_bytes(static_cast<int32_t>(b.size()));
        if (!room) return -1;
        std::copy(b.begin(), b.end(), room);
        return round_load();
    };
    auto play_through = [] {
        int steps = 1;
        while (round_step()) ++steps;
        return steps;
    };
    EXPECT_EQ(round_bytes(0), nullptr);
    EXPECT_EQ(round_bytes(static_cast<int32_t>(replay_file_room) + 1), nullptr);

    std::vector<uint8_t> claimed_bytes;
    use_bare_shell();
    ASSERT_EQ(load(bytes), 0);
    EXPECT_EQ(round_figure(figure_finished), 0) << "not before its last frame";
    EXPECT_EQ(round_figure(figure_replay_frames), recorded_round.frames);
    EXPECT_EQ(play_through(), recorded_round.frames);
    EXPECT_EQ(round_step(), 0) << "over is over";
    EXPECT_EQ(round_figure(figure_score), verified.score);
    EXPECT_EQ(round_figure(figure_blocks_cut), verified.blocks_cut);
    EXPECT_EQ(round_figure(figure_best_combo), verified.best_combo);
    EXPECT_EQ(round_figure(figure_frames), verified.frames);
    EXPECT_EQ(round_figure(figure_finished), 1);
    EXPECT_EQ(round_figure(figure_claim_kept), 1);
    const int32_t clock_ms = round_figure(figure_clock_ms);
    EXPECT_GE(clock_ms, 20 * recorded_round.frames) << "frames of at least 20 ms";
    std::vector<int32_t> board_clock;
    replay_headless(bytes_and_back(recorded_round, claimed_bytes), &board_clock);
    EXPECT_EQ(clock_ms, board_clock.back()) << "the clock the board times the round by";
    EXPECT_FALSE(replaying) << "the round's end puts the replay away";

    static replay changed;
    changed = recorded_round;
    changed.best_combo += 1;
    bytes_and_back(changed, claimed_bytes);
    ASSERT_EQ(load(claimed_bytes), 0);
    play_through();
    EXPECT_EQ(round_figure(figure_finished), 1);
    EXPECT_EQ(round_figure(figure_claim_kept), 0) << "a claimed combo the input does not give";
    EXPECT_EQ(round_figure(figure_clock_ms), clock_ms) << "the same input, the same clock";

    // Part way, a page reads the round as far as it has gone, and no verdict yet; loading
    // again starts the same bytes over.
    ASSERT_EQ(load(bytes), 0);
    for (int i = 0; i < 1500; ++i) ASSERT_EQ(round_step(), 1);
    ASSERT_EQ(round_load(), 0);
    EXPECT_EQ(round_figure(figure_frames), 0);
    EXPECT_EQ(round_figure(figure_blocks_cut), 0);
    EXPECT_EQ(round_figure(figure_clock_ms), 0) << "the round's clock starts over with it";
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(round_step(), 1);
    EXPECT_EQ(round_figure(figure_frames), 1000);
    EXPECT_GT(round_figure(figure_blocks_cut), 0);
    EXPECT_LT(round_figure(figure_blocks_cut), verified.blocks_cut);
    EXPECT_EQ(round_figure(figure_finished), 0);
    EXPECT_EQ(round_figure(figure_claim_kept), 0);

    bytes[bytes.size() / 2] ^= 0x10;
    EXPECT_EQ(load(bytes), static_cast<int>(replay_status::damaged));
    EXPECT_EQ(round_step(), 0) << "nothing started";
    EXPECT_EQ(round_figure(figure_score), 0) << "no figures of the round before";
    use_game_shell();
}

TEST(ReplayTest, ARoundLeftThroughThePauseMenuHasNoReplay) {
    play_scripted_round(3, false);
    ASSERT_TRUE(recorded_round_complete());
    fresh_round(4);
    run_frames(30);
    press_key(KEY_ESC, true);
    world.on_wait = [](int) {
        if (world.waits.back() == 20 && paused) set_mouse(320, 300, 1);  // Return to Title
    };
    play_frame();
    world.on_wait = nullptr;
    press_key(KEY_ESC, false);
    EXPECT_EQ(game_state, state_title);
    EXPECT_FALSE(recorded_round_complete());
}

// The golden replays: rounds recorded once and kept beside this file, one for each thing
// the rules must keep giving (stages, a pause, a time bonus, a power block, a dash in the
// last frame). tools/dev/record_golden_replays.sh records them again when the rules
// version is raised; until then each must give the figures it claims, in the one form.
struct golden_kind {
    const char* name;
    bool (*shows)(const played& p);
};
const golden_kind golden_kinds[] = {
    {"stages", [](const played& p) { return p.highest_stage >= 3; }},
    {"pause", [](const played& p) { return p.pauses > 0; }},
    {"time-bonus", [](const played& p) { return p.time_bonus; }},
    {"power-block", [](const played& p) { return p.power_block; }},
    {"last-frame-dash", [](const played& p) { return p.dash_in_last_frame; }},
};

std::vector<std::string> golden_files() {
    std::vector<std::string> files;
    DIR* dir = opendir(BLOCKDASH_GOLDEN_REPLAYS);
    while (dirent* e = dir ? readdir(dir) : nullptr) {
        const std::string name = e->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".rpl") == 0) files.push_back(name);
    }
    if (dir) closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

TEST(GoldenReplays, EachKeptRoundStillGivesItsFigures) {
    fresh_round(1);  // the surfaces a round draws on, though nothing is shown
    const std::vector<std::string> files = golden_files();
    for (const golden_kind& kind : golden_kinds) {
        bool kept = false;
        for (const std::string& file : files) kept |= file.rfind(kind.name, 0) == 0;
        EXPECT_TRUE(kept) << "no golden replay of " << kind.name;
    }
    static replay kept;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const std::string path = std::string(BLOCKDASH_GOLDEN_REPLAYS) + "/" + file;
        ASSERT_EQ(read_replay_file(path.c_str(), kept), replay_status::read)
            << "another rules version? record them again with tools/dev/record_golden_replays.sh";
        const int games = t_games;
        const replay_outcome o = verify_replay(kept);
        EXPECT_TRUE(o.finished) << o.frames << " of " << kept.frames << " frames";
        EXPECT_EQ(o.score, kept.score);
        EXPECT_EQ(o.blocks_cut, kept.blocks_cut);
        EXPECT_EQ(o.best_combo, kept.best_combo);
        EXPECT_EQ(t_games, games);
    }
}

// Run by tools/dev/record_golden_replays.sh only: for each kind, the first scripted round
// that shows it on a seed no other kind took, written where BLOCKDASH_RECORD_GOLDEN names.
TEST(GoldenReplays, DISABLED_RecordAgain) {
    const char* folder = std::getenv("BLOCKDASH_RECORD_GOLDEN");
    ASSERT_TRUE(folder && *folder) << "BLOCKDASH_RECORD_GOLDEN names the folder to write";
    // The rounds count in statistics of their own, not in the checkout.
    ASSERT_EQ(chdir(testing_support::scratch_dir("golden").c_str()), 0);
    std::vector<unsigned> taken;
    for (const golden_kind& kind : golden_kinds) {
        unsigned seed = 1;
        for (; seed <= 500; ++seed)
            if (std::find(taken.begin(), taken.end(), seed) == taken.end() &&
                kind.shows(play_scripted_round(seed, false, true)))
                break;
        taken.push_back(seed);
        ASSERT_LE(seed, 500u) << "no scripted round shows " << kind.name;
        ASSERT_TRUE(recorded_round_complete());
        std::memcpy(recorded_round.name, "GLD", 3);
        std::vector<uint8_t> bytes(replay_file_room);
        bytes.resize(write_replay_bytes(recorded_round, bytes.data()));
        const std::string path = std::string(folder) + "/" + kind.name + "-seed" + std::to_string(seed) + ".rpl";
        FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(out) << path;
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
        std::fclose(out);
        std::printf("%s: seed %u, score %d\n", path.c_str(), seed, recorded_round.score);
    }
}

}  // namespace
