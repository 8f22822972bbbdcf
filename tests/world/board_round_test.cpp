// Board rounds against a board on loopback: the drawn seed played from a fresh start, the
// notices the board asks for, the round sent after it ends; and boards that hang, fail or
// refuse, which change nothing of the round and lose nothing of it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "fixture/scripted_board.h"
#include "platform/surfaces.h"
#include "play/board_terms.h"
#include "play/input_digest.h"
#include "play/play_fixture.h"
#include "play/round_replay.h"
#include "play/round_tape.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "support/file_bytes.h"
#include "support/headless.h"
#include "ui/screen_state.h"
#include "world/board_link.h"
#include "world/board_queue.h"
#include "world/board_round.h"
#include "world/pace_watch.h"
#include "play/board_terms.h"
#include "world/round_sender.h"
#include "world/watch_link.h"
#include "world/world_table.h"

using namespace play_testing;
using namespace testing_support;
using json = nlohmann::json;

namespace {

// Until `done` holds, reading answers between frames; false past a deadline of real time.
template <typename Condition>
bool between_frames_until(Condition done, int ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        board_between_frames();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The fake clock never runs ahead of real time, and time the game spends working shows on
// it, however slow the machine: a wait for the board is timed as the game would time it.
void keep_step_with_real_time() {
    static std::chrono::steady_clock::time_point began;
    static int base = 0;
    began = std::chrono::steady_clock::now();
    base = world.now;
    world.on_wait = [](int) {
        const auto real_ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
        const int real = base + static_cast<int>(real_ms.count());
        if (real > world.now) world.now = real;
        else std::this_thread::sleep_for(std::chrono::milliseconds(world.now - real));
    };
}

// A fresh data folder and the board at `url` on, with a ticket in hand.
void board_at(const std::string& url, const char* folder) {
    fresh_round(1);
    ASSERT_EQ(chdir(scratch_dir(folder).c_str()), 0);
    mkdir("KZ DATA", 0755);
    board_settings s;
    s.url = url;
    s.key = new_player_key();
    s.initials = "---";
    stop_board();
    start_board(s);
    ASSERT_TRUE(between_frames_until([] { return board_ticket_in_hand(); }));
    keep_step_with_real_time();  // while the game waits for the seed
}

// Leftovers of an earlier round, which a board round must not carry over.
void leave_an_earlier_round_behind() {
    till_next = 24;
    player.facing = 1;
    got_combo[2] = {300, 200, 20};
    lost_time = {250, 420, 12};
}

// Frames here take far less real time than the game's 20 ms: before a frame that mixes in a
// tick's value, the tick's answer is given the real time it would have had.
void let_the_tick_answer_come(int frame) {
    const int tick = tick_mixed_at(frame);
    if (tick > 0) between_frames_until([tick] { return board_tick_answers() >= tick || !board_round_running(); });
}

// The round from its start to the time-out, with a hand that clicks now and then.
void play_to_the_end(int extra_ms_a_frame = 0) {
    game_state = state_play;
    skip_drawing = true;
    start_round();
    world.on_wait = [extra_ms_a_frame](int) { world.now += extra_ms_a_frame; };
    int frame = 0;
    while (game_state == state_play) {
        set_mouse(200 + (frame * 37) % 240, 300 + (frame * 13) % 150, frame % 17 == 0 ? 1 : 0);
        let_the_tick_answer_come(frame + 1);
        play_frame();
        board_between_frames();
        ++frame;
    }
    set_mouse(320, 240, 0);
}

std::vector<json> notices(scripted_board& board) {
    std::vector<json> out;
    for (const seen_request& r : board.requests())
        if (r.path.find("/notices") != std::string::npos) out.push_back(json::parse(r.body));
    return out;
}

int rounds_sent(scripted_board& board) {
    int n = 0;
    for (const seen_request& r : board.requests()) n += r.path.compare(0, 14, "/api/v1/rounds") == 0;
    return n;
}

}  // namespace

TEST(BoardRound, PlaysTheDrawnSeedFromAFreshStartTellsTheBoardAndIsSent) {
    scripted_board board([](const seen_request& r) { return polite_board(r, 4242, 7); });
    board_at(board.url(), "board_round_polite");
    leave_an_earlier_round_behind();
    play_to_the_end();

    ASSERT_TRUE(recorded_round_complete());
    EXPECT_EQ(recorded_round.seed, 4242u);
    for (int32_t v : recorded_round.carried) EXPECT_EQ(v, 0) << "a board round carries nothing over";

    // Let the end notice's answer in, as the end screen's frames would.
    between_frames_until([] { return false; }, 300);
    const std::vector<json> sent = notices(board);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent.front()["event"], "start");
    EXPECT_EQ(sent.front()["frame"], 0);
    const int frames = recorded_round.frames;
    for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i]["seq"], static_cast<int>(i));
    // Each tick and the end commit the input up to their frame; the round mixed in the
    // value the board answered to each tick whose frame it reached.
    std::vector<int32_t> committed;
    for (size_t i = 1; i < sent.size(); ++i) committed.push_back(sent[i]["frame"]);
    const std::vector<std::string> digests = replay_input_digests(recorded_round, committed);
    for (size_t i = 1; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i]["digest"], digests[i - 1]) << "notice " << i;
        if (i + 1 == sent.size()) break;
        EXPECT_EQ(sent[i]["event"], "tick");
        EXPECT_EQ(sent[i]["frame"], frames_between_ticks * static_cast<int>(i));
    }
    EXPECT_EQ(sent.back()["event"], "end");
    EXPECT_EQ(sent.back()["frame"], frames);
    EXPECT_EQ(static_cast<int>(sent.size()), frames / frames_between_ticks + 2);
    ASSERT_EQ(static_cast<int32_t>(recorded_round.value_count), values_mixed_in(frames));
    for (uint32_t k = 0; k < recorded_round.value_count; ++k)
        EXPECT_EQ(recorded_round.values[k], polite_value(sent[k + 1].dump())) << "tick " << k + 1;

    send_board_round(recorded_round, "ABC");
    ASSERT_TRUE(between_frames_until([] { return board_round_rank() == 7; }));
    EXPECT_EQ(board_round_line(), "WORLD #7");
    EXPECT_TRUE(waiting_board_rounds(highscore_path).empty());
    // What was sent is the round's replay under the name, byte for byte.
    std::string body;
    for (const seen_request& r : board.requests())
        if (r.path.compare(0, 14, "/api/v1/rounds") == 0) body = r.body;
    replay back;
    ASSERT_EQ(read_replay_bytes(reinterpret_cast<const uint8_t*>(body.data()), body.size(), back), replay_status::read);
    EXPECT_EQ(std::string(back.name, 3), "ABC");
    EXPECT_EQ(back.seed, 4242u);
    EXPECT_EQ(back.frames, frames);
    EXPECT_EQ(back.value_count, recorded_round.value_count);
    EXPECT_TRUE(outcome_matches(back, verify_replay(back)));
    stop_board();
}

// A tick's value that has not come by its frame is never waited for: the round plays on as
// a local one, mixes in nothing more, says so, is not sent, and its replay still verifies.
TEST(BoardRound, AValueThatComesLateMakesTheRestALocalRound) {
    scripted_board board([](const seen_request& r) {
        if (r.body.find("\"tick\"") != std::string::npos && r.body.find("\"frame\":250,") == std::string::npos)
            return scripted_answer{scripted_answer::reply, 204, ""};  // no value but the first tick's
        return polite_board(r, 77, 1);
    });
    board_at(board.url(), "board_round_late_value");
    play_to_the_end();
    EXPECT_EQ(recorded_round.value_count, 1u);
    EXPECT_EQ(recorded_round.values[0], polite_value(R"({"frame":250,)"));
    EXPECT_FALSE(board_round_running());
    EXPECT_EQ(board_round_line(), "A local round: the world table's answer to a tick did not come in time.");
    send_board_round(recorded_round, "LAT");
    between_frames_until([] { return false; }, 300);
    EXPECT_EQ(rounds_sent(board), 0);
    EXPECT_TRUE(waiting_board_rounds(highscore_path).empty());

    const auto kept = std::make_unique<replay>(recorded_round);
    std::vector<uint8_t> bytes(replay_file_room);
    bytes.resize(write_replay_bytes(*kept, bytes.data()));
    const auto back = std::make_unique<replay>();
    ASSERT_EQ(read_replay_bytes(bytes.data(), bytes.size(), *back), replay_status::read);
    EXPECT_TRUE(outcome_matches(*back, verify_replay(*back)));
    // Without its value it is another round: the value counts.
    back->value_count = 0;
    EXPECT_FALSE(outcome_matches(*back, verify_replay(*back)));
    stop_board();
}

TEST(BoardRound, FramesRunningSlowAreNotSentAndSaySo) {
    scripted_board board([](const seen_request& r) { return polite_board(r, 99, 1); });
    board_at(board.url(), "board_round_slow");
    play_to_the_end(4);  // 24 ms frames: 20 % slow, past the allowance of this short round
    send_board_round(recorded_round, "SLO");
    EXPECT_NE(board_round_line().find("slow"), std::string::npos) << board_round_line();
    between_frames_until([] { return false; }, 300);
    EXPECT_EQ(rounds_sent(board), 0);
    EXPECT_TRUE(waiting_board_rounds(highscore_path).empty());
    stop_board();
}

// The game holds itself to the board's own allowances before it sends anything: over each
// stretch between its notices, and over the round.
TEST(BoardRound, ThePaceWatchKeepsTheBoardsAllowances) {
    // A round of `frames`, its ticks sent on time but for `late(frames)` ms more.
    auto watched = [](int frames, auto late) {
        pace_watch w;
        w.start(0, 0);
        bool flagged = false;
        for (int f = 2; f <= frames && !flagged; ++f) {
            const int now = pace_watch::own_ms(f, 0) + late(f);
            if (f % frames_between_ticks == 0) w.mark(now, f, 0);
            flagged = w.too_slow(f, 0, now);
        }
        return flagged;
    };
    const int full = 150 * 39;
    EXPECT_FALSE(watched(full, [](int) { return 0; }));
    EXPECT_FALSE(watched(full, [](int f) { return f * 20 * 4 / 100; })) << "4 % slow";
    EXPECT_TRUE(watched(full, [](int f) { return f * 20 * 8 / 100; })) << "8 % slow";
    // Frozen 4 s before the tenth tick and caught up by the next: the round as a whole is
    // within its allowance there, the stretch is not.
    const int tenth = 10 * frames_between_ticks;
    EXPECT_TRUE(watched(full, [&](int f) { return f > tenth - 5 && f <= tenth ? 4000 : 0; }));

    // Time paused is left out, and the stretch after a resume starts there.
    pace_watch w;
    w.start(0, 0);
    w.pause(pace_watch::own_ms(100, 0), 100, 0);
    w.resume(pace_watch::own_ms(100, 0) + 30000, 100, 0);
    const int tick_at = pace_watch::own_ms(frames_between_ticks, 0) + 30000;
    w.mark(tick_at, frames_between_ticks, 0);
    EXPECT_FALSE(w.too_slow(frames_between_ticks, 0, tick_at));
}

TEST(BoardRound, NoSeedWithinASecondPlaysALocalRound) {
    scripted_board board([](const seen_request& r) {
        if (r.body.find("\"start\"") != std::string::npos) return hanging_answer();
        return polite_board(r, 5, 1);
    });
    board_at(board.url(), "board_round_no_seed");
    game_state = state_play;
    uint32_t seed = 0;
    world.on_wait = [](int) { std::this_thread::sleep_for(std::chrono::microseconds(50)); };
    EXPECT_FALSE(begin_board_round(&seed));
    EXPECT_GE(world.now, 1000);
    EXPECT_LT(world.now, 1100);
    EXPECT_NE(board_round_line().find("local round"), std::string::npos);
    EXPECT_EQ(board_pauses_left(), -1);
    stop_board();
}

TEST(BoardRound, ARoundStartedAsTheGameOpensWaitsForItsTicketWithinTheSecond) {
    scripted_board board([](const seen_request& r) { return polite_board(r, 31337, 1); });
    fresh_round(1);
    ASSERT_EQ(chdir(scratch_dir("board_round_at_once").c_str()), 0);
    board_settings s{board.url(), new_player_key(), "---"};
    start_board(s);  // and Start Game at once, before the ticket has come
    keep_step_with_real_time();
    uint32_t seed = 0;
    ASSERT_TRUE(begin_board_round(&seed)) << board_round_line();
    EXPECT_EQ(seed, 31337u);
    stop_board();
}

// A start answered too late is an earlier round's: the next round waits for its own seed.
TEST(BoardRound, ALateStartAnswerIsNeverTakenForTheNextRoundsSeed) {
    std::atomic<int> starts{0};
    scripted_board board([&starts](const seen_request& r) {
        if (r.body.find("\"start\"") != std::string::npos && ++starts == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1300));
            return polite_board(r, 111, 1);
        }
        return polite_board(r, 222, 1);
    });
    board_at(board.url(), "board_round_late_start");
    keep_step_with_real_time();
    uint32_t seed = 0;
    EXPECT_FALSE(begin_board_round(&seed));
    ASSERT_TRUE(begin_board_round(&seed)) << board_round_line();
    EXPECT_EQ(seed, 222u);
    stop_board();
}

// The same seed and the same hand give the same round, whatever the board does with its
// notices and its round; the round is kept in the queue while the board fails, and a
// refusal is final.
TEST(BoardRound, HangingFailingAndRefusingBoardsChangeNothingAndLoseNothing) {
    // The round as played with the board off.
    fresh_round(1);
    stop_board();
    reset_round_state();
    skip_drawing = true;
    game_state = state_play;
    start_round_seeded(321);
    int frame = 0;
    while (game_state == state_play) {
        set_mouse(200 + (frame * 37) % 240, 300 + (frame * 13) % 150, frame % 17 == 0 ? 1 : 0);
        play_frame();
        ++frame;
    }
    const replay off = recorded_round;
    const round_figures off_figures = finished_round_figures();

    std::atomic<int> answers{0};
    for (int kind = 0; kind < 3; ++kind) {
        scripted_board board([kind, &answers](const seen_request& r) {
            const bool notice = r.path.find("/notices") != std::string::npos && r.body.find("\"start\"") == std::string::npos;
            const bool round = r.path.compare(0, 14, "/api/v1/rounds") == 0;
            if (!notice && !round) return polite_board(r, 321, 1);
            ++answers;
            if (kind == 0) return hanging_answer();
            if (kind == 1) return garbage_answer();
            return scripted_answer{scripted_answer::reply, 500, "{\"error\":\"down\"}"};
        });
        board_at(board.url(), "board_round_hostile");
        play_to_the_end();
        EXPECT_EQ(recorded_round.seed, off.seed);
        EXPECT_EQ(recorded_round.frames, off.frames);
        EXPECT_EQ(recorded_round.score, off.score);
        EXPECT_EQ(recorded_round.input_size, off.input_size);
        EXPECT_EQ(0, std::memcmp(recorded_round.input, off.input, off.input_size));
        EXPECT_EQ(finished_round_figures().score, off_figures.score);
        if (kind != 0) {
            // The end notice failed: the round cannot count, and says why.
            ASSERT_TRUE(between_frames_until([] { return !board_round_line().empty(); }, 20000));
            EXPECT_NE(board_round_line().find("did not hear"), std::string::npos) << board_round_line();
        }
        stop_board();
    }
    EXPECT_GT(answers, 0);
}

TEST(BoardRound, ARoundTheBoardCannotTakeYetStaysQueuedAndARefusalIsKeptAside) {
    std::atomic<int> status{500};
    scripted_board board([&status](const seen_request& r) {
        // A proxy's 404 is no word of the board's; its refusal says it is final.
        if (r.path.compare(0, 14, "/api/v1/rounds") == 0 && status == 404)
            return scripted_answer{scripted_answer::reply, 404, "<html>Not Found</html>"};
        if (r.path.compare(0, 14, "/api/v1/rounds") == 0)
            return scripted_answer{scripted_answer::reply, status.load(), "{\"error\":\"too fast\",\"final\":true}"};
        return polite_board(r, 11, 1);
    });
    board_at(board.url(), "board_round_queue");
    play_to_the_end();
    ASSERT_TRUE(between_frames_until([&] { return notices(board).back()["event"] == "end"; }));
    between_frames_until([] { return false; }, 200);  // the end notice's answer
    send_board_round(recorded_round, "QUE");
    ASSERT_TRUE(between_frames_until([] { return waiting_board_rounds(highscore_path).size() == 1; }))
        << "kept on disk by the sender";
    ASSERT_TRUE(between_frames_until([&] { return rounds_sent(board) == 1; }));
    ASSERT_TRUE(between_frames_until([] { return board_round_line().find("away") != std::string::npos; }));
    EXPECT_EQ(waiting_board_rounds(highscore_path).size(), 1u);

    // After a restart of the game the queue is picked up; a proxy's 404 keeps it.
    stop_board();
    status = 404;
    start_board({board.url(), new_player_key(), "---"});
    ASSERT_TRUE(between_frames_until([&] { return rounds_sent(board) == 2; }));
    ASSERT_TRUE(between_frames_until([] { return sender_now().away; }));
    EXPECT_EQ(waiting_board_rounds(highscore_path).size(), 1u);
    EXPECT_TRUE(last_board_refusal(highscore_path).empty());

    // This time the board itself refuses it.
    status = 422;
    stop_board();
    board_settings s = {board.url(), new_player_key(), "---"};
    std::string path_kept;
    start_board(s);
    ASSERT_TRUE(between_frames_until([&] { return rounds_sent(board) == 3; }));
    ASSERT_TRUE(between_frames_until([] { return !board_refusal_line().empty(); }));
    EXPECT_NE(board_refusal_line().find("too fast"), std::string::npos);
    EXPECT_TRUE(waiting_board_rounds(highscore_path).empty());
    EXPECT_EQ(last_board_refusal(highscore_path), "too fast");
    between_frames_until([] { return false; }, 300);
    EXPECT_EQ(rounds_sent(board), 3) << "a refusal is never retried";

    // A round the board took before, whose answer was lost: a used ticket, nothing refused.
    stop_board();
    status = 409;
    ASSERT_TRUE(queue_board_round(highscore_path, board.url(), "tk.lost", recorded_round, &path_kept));
    start_board(s);
    ASSERT_TRUE(between_frames_until([&] { return rounds_sent(board) == 4; }));
    ASSERT_TRUE(between_frames_until([] { return waiting_board_rounds(highscore_path).empty(); }));
    EXPECT_EQ(last_board_refusal(highscore_path), "too fast");
    stop_board();
}

// Each pause is told to the board and counted on the menu; a fourth means the round
// cannot count, and the end screen says why.
TEST(BoardRound, PausesAreToldCountedOnTheMenuAndCapped) {
    scripted_board board([](const seen_request& r) { return polite_board(r, 8, 1); });
    board_at(board.url(), "board_round_pauses");
    game_state = state_play;
    skip_drawing = false;
    start_round();
    ASSERT_EQ(board_pauses_left(), 3);
    std::vector<int> line_pixels;
    for (int pause = 1; pause <= 4; ++pause) {
        run_frames(5);
        const_cast<char*>(key)[KEY_ESC] = 1;
        int passes = 0;
        world.on_wait = [&](int) {
            if (world.waits.back() != 20 || !paused) return;
            ++passes;
            if (passes == 1) {
                const_cast<char*>(key)[KEY_ESC] = 0;
                int lit = 0;
                for (int x = 200; x < 440; ++x)
                    for (int y = 330; y < 338; ++y) lit += getpixel(fake_screen, x, y) == makecol(255, 255, 255);
                line_pixels.push_back(lit);
            }
            if (passes == 3) set_mouse(320, 250, 1);  // Continue
        };
        play_frame();
        world.on_wait = nullptr;
        set_mouse(320, 250, 0);
        EXPECT_FALSE(paused);
    }
    EXPECT_EQ(board_pauses_left(), 0);
    ASSERT_EQ(line_pixels.size(), 4u);
    for (int lit : line_pixels) EXPECT_GT(lit, 50) << "the menu shows the pauses left";
    EXPECT_NE(board_round_line().find("paused more than 3"), std::string::npos) << board_round_line();
    ASSERT_TRUE(between_frames_until([&] { return notices(board).size() == 9; }));
    const std::vector<json> sent = notices(board);
    for (size_t i = 1; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i]["seq"], static_cast<int>(i));
        EXPECT_EQ(sent[i]["event"], i % 2 ? "pause" : "resume");
    }
    stop_board();
}

// The world's best as the board gives it, read with care: ten rows at most, odd rows
// skipped or cut short; a replay fetched only from the board itself, into its cache.
TEST(BoardRound, TheWorldsBestIsReadWithCareAndItsReplaysComeOnlyFromTheBoard) {
    std::atomic<bool> flood{false}, hang{false};
    scripted_board board([&flood, &hang](const seen_request& r) {
        if (hang && r.path != "/api/v1/tickets") return hanging_answer();
        if (r.path.compare(0, 14, "/api/v1/board?") == 0) {
            if (flood) return garbage_answer();
            std::string rows = R"([7, {"rank": 1, "name": "TOOLONGNAME", "score": 900, "replay": "/api/v1/replays/a"},)";
            rows += R"({"rank": 2, "score": 950, "replay": "/api/v1/replays/0123456789abcdef"},)";
            for (int i = 3; i <= 15; ++i) rows += "{\"rank\": " + std::to_string(i) + ", \"score\": " + std::to_string(1000 - i) + "},";
            rows.back() = ']';
            return scripted_answer{scripted_answer::reply, 200, "{\"period\":\"day\",\"rows\":" + rows + "}"};
        }
        if (r.path.compare(0, 16, "/api/v1/replays/") == 0) return scripted_answer{scripted_answer::reply, 200, "RPL"};
        return polite_board(r, 1, 1);
    });
    board_at(board.url(), "board_world");
    fetch_world(world_period::day);
    ASSERT_TRUE(between_frames_until([] { return world_best(world_period::day).answered; }));
    const world_table& day = world_best(world_period::day);
    ASSERT_EQ(day.rows.size(), 10u);
    EXPECT_EQ(day.rows[0].name, "TOO");
    EXPECT_EQ(day.rows[0].score, 900);
    EXPECT_EQ(day.rows[1].name, "");
    EXPECT_EQ(day.rows[9].rank, 10);
    // A row's link is the board's own watch page, and only for a round's id.
    EXPECT_EQ(day.rows[0].watch, "");
    EXPECT_EQ(day.rows[1].watch, "/watch/0123456789abcdef");
    EXPECT_FALSE(day.fetched_at.empty());

    std::string path, why;
    download_world_replay("https://elsewhere.example/api/v1/replays/b");
    ASSERT_TRUE(between_frames_until([&] { return world_replay_ready(&path, &why); }));
    EXPECT_NE(path.find("world-replays/world-"), std::string::npos) << why;
    EXPECT_EQ(file_bytes::read(path), "RPL");
    EXPECT_EQ(board.requests().back().path, "/api/v1/replays/b") << "asked of the board itself";
    const size_t asked = board.requests().size();
    for (const char* odd : {"/etc/passwd", "/api/v1/replays/../../x", "/api/v1/replays/x?y", "ftp://x/api/v1/board"}) {
        download_world_replay(odd);
        ASSERT_TRUE(world_replay_ready(&path, &why)) << odd;
        EXPECT_TRUE(path.empty());
    }
    EXPECT_EQ(board.requests().size(), asked);

    // A board that floods: the rows seen before stay, marked as not reachable now.
    flood = true;
    fetch_world(world_period::day);
    ASSERT_TRUE(between_frames_until([] { return world_best(world_period::day).unreachable; }));
    EXPECT_EQ(world_best(world_period::day).rows.size(), 10u);

    // A replay that hangs holds no table back, and a table that hangs says so within 2 s.
    hang = true;
    download_world_replay("/api/v1/replays/c");
    const auto asked_at = std::chrono::steady_clock::now();
    fetch_world(world_period::all);
    ASSERT_TRUE(between_frames_until([] { return world_best(world_period::all).unreachable; }, 4000));
    EXPECT_LT(std::chrono::steady_clock::now() - asked_at, std::chrono::milliseconds(2500));
    EXPECT_EQ(world_best(world_period::all).why, "no answer in time");
    EXPECT_TRUE(world_replay_fetching());
    cancel_world_replay();  // Esc while it comes: it never plays
    EXPECT_FALSE(world_replay_fetching());
    EXPECT_FALSE(world_replay_ready(&path, &why));
    stop_board();
}

TEST(BoardRound, WithTheBoardOffNothingStarts) {
    fresh_round(1);
    stop_board();
    board_settings off;
    start_board(off);
    EXPECT_FALSE(board_on());
    uint32_t seed = 0;
    EXPECT_FALSE(begin_board_round(&seed));
    EXPECT_EQ(board_round_line(), "");
    EXPECT_EQ(board_pauses_left(), -1);
}

// Answers that come while a round is played (a send of an earlier round, a world replay)
// are dealt with off the main thread: with the data folder locked by another copy of the
// game, no frame of the round is held, by the round's own clock as the pace watch reads it.
TEST(BoardRound, AnswersDuringARoundHoldNoFrame) {
    scripted_board board([](const seen_request& r) {
        const bool slow = r.path.compare(0, 14, "/api/v1/rounds") == 0 || r.path.compare(0, 16, "/api/v1/replays/") == 0;
        if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(800));
        if (r.path.compare(0, 16, "/api/v1/replays/") == 0) return scripted_answer{scripted_answer::reply, 200, "RPL"};
        return polite_board(r, 5150, 2);
    });
    fresh_round(1);
    ASSERT_EQ(chdir(scratch_dir("board_round_no_hold").c_str()), 0);
    mkdir("KZ DATA", 0755);
    std::string path;
    for (const char* ticket : {"tk.earlier", "tk.earliest"})
        ASSERT_TRUE(queue_board_round(highscore_path, board.url(), ticket, recorded_round, &path));
    board_at(board.url(), "board_round_no_hold");  // the sender starts on the earlier rounds
    std::unique_ptr<data_folder_lock> other_copy(new data_folder_lock(highscore_path));

    game_state = state_play;
    skip_drawing = true;
    start_round();
    ASSERT_GE(board_pauses_left(), 0) << "a board round";
    download_world_replay("/api/v1/replays/r42");
    keep_step_with_real_time();  // so a frame held shows on the round's clock
    std::vector<int> frame_ms;
    bool replay_came = false;
    std::string why;
    int before = world.now;
    for (int frame = 0; frame < 200; ++frame) {
        if (frame == 100) other_copy.reset();
        set_mouse(200 + (frame * 37) % 240, 300, frame % 17 == 0 ? 1 : 0);
        play_frame();
        board_between_frames();
        replay_came = replay_came || world_replay_ready(&path, &why);
        frame_ms.push_back(world.now - before);
        before = world.now;
    }
    world.on_wait = nullptr;
    EXPECT_TRUE(replay_came) << "the replay came during the round";
    EXPECT_LT(*std::max_element(frame_ms.begin() + 1, frame_ms.end()), 150) << "no frame held";
    EXPECT_EQ(board_round_quiet_line(), nullptr) << "the pace watch saw nothing slow";
    EXPECT_EQ(file_bytes::read(path), "RPL");
    board_round_dropped();
    ASSERT_TRUE(between_frames_until([] { return waiting_board_rounds(highscore_path).empty(); }, 10000));
    stop_board();
}

// The oldest round goes first; one the board keeps failing waits on its own back-off
// while the rest go, and a round that is not the player's best says where that best stands.
TEST(BoardRound, AFailingRoundHoldsNoOtherBackAndTheRankIsToldTrue) {
    scripted_board board([](const seen_request& r) {
        if (r.ticket == "tk.failing")
            return scripted_answer{scripted_answer::reply, 503, R"({"error":"storage down"})"};
        if (r.path.compare(0, 14, "/api/v1/rounds") == 0)
            return scripted_answer{scripted_answer::reply, 201,
                                   R"({"id":"r9","score":40,"rank":4,"stands":false,"best_rank":2,"best_score":900})"};
        return polite_board(r, 77, 1);
    });
    fresh_round(1);
    ASSERT_EQ(chdir(scratch_dir("board_round_fair").c_str()), 0);
    mkdir("KZ DATA", 0755);
    std::string path;
    ASSERT_TRUE(queue_board_round(highscore_path, board.url(), "tk.failing", recorded_round, &path));
    ASSERT_TRUE(queue_board_round(highscore_path, board.url(), "tk.next", recorded_round, &path));
    board_at(board.url(), "board_round_fair");
    ASSERT_TRUE(between_frames_until([] { return waiting_board_rounds(highscore_path).size() == 1; }));
    std::vector<std::string> sent;
    for (const seen_request& r : board.requests())
        if (r.path.compare(0, 14, "/api/v1/rounds") == 0) sent.push_back(r.ticket);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], "tk.failing") << "the oldest first";
    EXPECT_EQ(sent[1], "tk.next") << "not held back by the failing one";

    // A board round of our own is sent before the failing one is tried again.
    play_to_the_end();
    ASSERT_TRUE(between_frames_until([&] { return notices(board).back()["event"] == "end"; }));
    send_board_round(recorded_round, "FAI");
    ASSERT_TRUE(between_frames_until([] { return !board_round_id().empty(); }));
    EXPECT_EQ(board_round_rank(), 0) << "not its rank: it does not stand on the board";
    EXPECT_EQ(board_round_line(), "On the world table; your best, 900, stands at WORLD #2.");
    EXPECT_EQ(waiting_board_rounds(highscore_path).size(), 1u);
    EXPECT_EQ(rounds_sent(board), 3) << "the failing round waits out its back-off";
    stop_board();
}

// A round whose notices stop getting through says so while it is played, not only at its end.
TEST(BoardRound, ARoundTheBoardStopsHearingSaysSoAsItGoes) {
    scripted_board board([](const seen_request& r) {
        if (r.body.find("\"tick\"") != std::string::npos)
            return scripted_answer{scripted_answer::reply, 400, R"({"error":"out of order"})"};
        return polite_board(r, 12, 1);
    });
    board_at(board.url(), "board_round_unheard");
    game_state = state_play;
    skip_drawing = true;
    start_round();
    world.on_wait = nullptr;
    for (int frame = 0; frame < frames_between_ticks + 1; ++frame) play_frame();
    EXPECT_EQ(board_round_quiet_line(), nullptr);
    ASSERT_TRUE(between_frames_until([] { return board_round_quiet_line() != nullptr; }));
    EXPECT_STREQ(board_round_quiet_line(), "board lost");
    EXPECT_TRUE(board_round_running());
    // In grey in the left panel, where a replay is labelled, clear of the field.
    skip_drawing = false;
    play_frame();
    int grey = 0;
    for (int y = 440; y < 448; ++y)
        for (int x = 16; x < 96; ++x) grey += getpixel(frame, x, y) == makecol(160, 160, 160);
    EXPECT_GT(grey, 40) << "the line is drawn";
    board_round_dropped();
    stop_board();
}

// A round's link: what the game shows, and what --replay takes back to the replay's bytes.
TEST(BoardRound, ARoundsLinkLeadsToItsReplayOnThatBoardOnly) {
    EXPECT_EQ(watch_link("https://b.example/x", "0123456789abcdef"), "https://b.example/x/watch/0123456789abcdef");
    EXPECT_EQ(watch_link("https://b.example", ""), "");
    std::string address;
    for (const char* link : {"https://b.example/x/watch/0123456789abcdef", "https://b.example/x/watch/0123456789abcdef?frame=500",
                             "https://b.example/x/watch/0123456789abcdef#top"}) {
        ASSERT_TRUE(replay_address_of(link, &address)) << link;
        EXPECT_EQ(address, "https://b.example/x/api/v1/replays/0123456789abcdef");
    }
    for (const char* odd : {"replay.rpl", "https://b.example/watch/0123", "https://b.example/watch/0123456789ABCDEF",
                            "https://b.example/watch/0123456789abcdef/more", "ftp://b.example/watch/0123456789abcdef",
                            "https://b.example/api/v1/replays/0123456789abcdef"})
        EXPECT_FALSE(replay_address_of(odd, &address)) << odd;

    scripted_board board([](const seen_request& r) {
        if (r.path == "/api/v1/replays/0123456789abcdef") return scripted_answer{scripted_answer::reply, 200, "RPL"};
        return scripted_answer{scripted_answer::reply, 404, "{}"};
    });
    std::string bytes, why;
    ASSERT_TRUE(download_linked_replay(board.url() + "/watch/0123456789abcdef?frame=9", &bytes, &why)) << why;
    EXPECT_EQ(bytes, "RPL");
    EXPECT_FALSE(download_linked_replay(board.url() + "/watch/00000000000000ff", &bytes, &why));
    EXPECT_NE(why.find("no such round"), std::string::npos) << why;
    // Plain http leaves this machine never: the address is refused before any connection.
    const size_t asked = board.requests().size();
    EXPECT_FALSE(download_linked_replay("http://192.0.2.1/watch/0123456789abcdef", &bytes, &why));
    EXPECT_NE(why.find("cannot be reached"), std::string::npos) << why;
    EXPECT_EQ(board.requests().size(), asked);
}
