// The end-of-game screen driven headless: the name entry by scripted key states, the table
// checked by pixel.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "support/file_bytes.h"
#include "key_script.h"
#include "play/round.h"
#include "screens/end_screen.h"
#include "records/highscore_file.h"
#include "records/highscore_table.h"
#include "records/lifetime_stats.h"
#include "records/replay_store.h"
#include "play/round_replay.h"
#include "app/screen_loop.h"
#include "platform/surfaces.h"
#include "ui/buttons.h"
#include "ui/wipe.h"
#include "platform/key_presses.h"
#include "fixture/stand_in_art.h"
#include "platform/mouse_presses.h"
#include "support/headless.h"

namespace {

using key_script::play;
using key_script::tap;
using testing_support::rgb;
using testing_support::world;

int colour_at(BITMAP* b, int x, int y) { return getpixel(b, x, y) & 0xffffff; }

// Whether any pixel of [x0, x1) x [y0, y1) has the colour.
bool has_colour(BITMAP* b, int x0, int y0, int x1, int y1, int colour) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (colour_at(b, x, y) == colour) return true;
    return false;
}

int count_waits(int ms) { return static_cast<int>(std::count(world.waits.begin(), world.waits.end(), ms)); }

bool data_folder_exists() {
    struct stat info;
    return stat("KZ DATA", &info) == 0;
}

class EndScreen : public testing::Test {
protected:
    void SetUp() override {
        testing_support::reset_headless();
        white = rgb(255, 255, 255) & 0xffffff;
        yellow = rgb(255, 255, 0) & 0xffffff;
        stand_ins::make_stand_in_art();
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        ASSERT_EQ(chdir(testing_support::scratch_dir(std::string("end_") + test->name()).c_str()), 0);
        for (int i = 0; i < 10; ++i) {
            const char c = static_cast<char>('A' + i);
            highscore[i] = {{c, c, c}, 1000 - 100 * i, 1};
        }
        stage = 3;
        player.score = 0;
        finished_round_waiting = false;
        game_state = state_end_of_game;
        screen_lock = true;
        snapshot = create_bitmap(640, 480);
        world.on_wait = key_script::watchdog;
    }
    void TearDown() override { destroy_bitmap(snapshot); }
    // Another visit of the same test, from scratch.
    void again() {
        TearDown();
        SetUp();
    }

    // The round's time-out, then the screen's set-up and first pass.
    void finish_round_and_visit(int internal_score) {
        player.score = internal_score;
        add_finished_round(finished_round_figures());
        visit();
    }
    void visit() {
        enter_end_screen();
        end_screen_frame();
    }
    void take_snapshot() { blit(fake_screen, snapshot, 0, 0, 0, 0, 640, 480); }

    std::string entered_name() const { return std::string(player_score.name, 3); }

    // Row i of the table: its name from x = 250 and its score ending at x = 380.
    void expect_row(int i, int colour, int score_digits) {
        const int y = 130 + 20 * i;
        const int other = colour == white ? yellow : white;
        EXPECT_TRUE(has_colour(buffer, 250, y, 258, y + 8, colour)) << "row " << i;
        EXPECT_FALSE(has_colour(buffer, 242, y, 250, y + 8, colour)) << "row " << i;
        EXPECT_TRUE(has_colour(buffer, 380 - 8 * score_digits, y, 388 - 8 * score_digits, y + 8, colour))
            << "row " << i;
        EXPECT_FALSE(has_colour(buffer, 380, y, 390, y + 8, colour)) << "row " << i;
        EXPECT_FALSE(has_colour(buffer, 242, y, 390, y + 8, other)) << "row " << i;
    }

    BITMAP* snapshot = nullptr;
    int white = 0;
    int yellow = 0;
};

TEST_F(EndScreen, ThreeLettersAndEnterInsertTheEntryAndSaveTheTable) {
    play(tap(KEY_A, 0) + tap(KEY_B, 200) + tap(KEY_C, 400) + tap(KEY_ENTER, 600));
    finish_round_and_visit(50);  // shown 500, ties the row at index 5

    EXPECT_EQ(got_highscore, 5);
    EXPECT_EQ(std::string(highscore[5].name, 3), "ABC");
    EXPECT_EQ(highscore[5].score, 500);
    EXPECT_EQ(highscore[5].extra, 1);
    EXPECT_EQ(std::string(highscore[6].name, 3), "FFF");
    EXPECT_EQ(std::string(highscore[9].name, 3), "III");
    EXPECT_EQ(player.score, 0);

    char expected[highscore_text_room];
    const size_t size = write_highscore_text(expected);
    EXPECT_EQ(file_bytes::read(highscore_path), std::string(expected, size));

    // Six 100 ms waits (three letters, three passes), then the table's wipe and its 20 ms.
    ASSERT_EQ(world.waits.size(), 6u + 214u + 1u);
    EXPECT_EQ(count_waits(100), 6);
    EXPECT_EQ(world.waits.back(), 20);
    EXPECT_EQ(world.sounds, (std::vector<int>{2, 0}));
}

TEST_F(EndScreen, EnterIsRefusedUntilThreeLettersAndNotTakenInThePassOfTheThird) {
    play(std::vector<key_script::key_event>{{0, KEY_ENTER, true}} + tap(KEY_A, 0) + tap(KEY_B, 200) +
         tap(KEY_C, 500));
    finish_round_and_visit(50);
    EXPECT_EQ(entered_name(), "ABC");
    // Passes at 0, 200, 400 (refused with two letters), 500 (takes C), 700 (Enter).
    EXPECT_EQ(count_waits(100), 3 + 4);
}

TEST_F(EndScreen, AHeldLetterRepeatsEveryPassAndLettersBeyondThreeAreIgnored) {
    std::vector<int> name_changes;
    play({{0, KEY_A, true}, {1000, KEY_ENTER, true}}, [&](int now) {
        if (now % 100 == 0 && std::count(player_score.name, player_score.name + 3, 'A') >
                                  static_cast<long>(name_changes.size()))
            name_changes.push_back(now);
    });
    finish_round_and_visit(50);
    EXPECT_EQ(entered_name(), "AAA");
    EXPECT_EQ(name_changes, (std::vector<int>{100, 300, 500}));
    EXPECT_EQ(count_waits(100), 3 + 7);  // seven passes end before Enter at 1000
}

TEST_F(EndScreen, SeveralLettersDownAreTakenAlphabeticallyWhilePositionsAreFree) {
    play({{0, KEY_Q, true}, {0, KEY_Z, true}, {0, KEY_C, true}, {0, KEY_A, true},
          {300, KEY_Q, false}, {300, KEY_Z, false}, {300, KEY_C, false}, {300, KEY_A, false},
          {400, KEY_ENTER, true}});
    finish_round_and_visit(50);
    EXPECT_EQ(entered_name(), "ACQ");
    EXPECT_EQ(count_waits(100), 3 + 1);
}

TEST_F(EndScreen, BackspaceClearsTheLastLetterAndDoesNothingOnAnEmptyName) {
    play(tap(KEY_BACKSPACE, 0) + tap(KEY_A, 100) + tap(KEY_B, 300) + tap(KEY_C, 500) +
             tap(KEY_BACKSPACE, 700) + tap(KEY_D, 900) + tap(KEY_ENTER, 1100),
         [&](int now) {
             if (now == 900) take_snapshot();  // the pass after the Backspace
         });
    finish_round_and_visit(50);
    EXPECT_EQ(entered_name(), "ABD");
    EXPECT_EQ(count_waits(100), 1 + 6 + 2 + 2);

    // "AB" and the cursor back under the third cell.
    EXPECT_TRUE(has_colour(snapshot, 258, 150, 266, 158, white));
    EXPECT_FALSE(has_colour(snapshot, 266, 150, 274, 158, white));
    EXPECT_TRUE(has_colour(snapshot, 265, 153, 273, 161, yellow));
    EXPECT_FALSE(has_colour(snapshot, 273, 153, 281, 161, yellow));
}

TEST_F(EndScreen, OnlyTheLettersAToZAreAccepted) {
    play({{0, KEY_0, true}, {0, KEY_9, true}, {0, KEY_SPACE, true}, {0, KEY_MINUS, true},
          {0, KEY_1_PAD, true}, {0, KEY_TAB, true}, {0, KEY_STOP, true}});
    finished_round_waiting = true;
    player.score = 50;
    enter_end_screen();
    play(tap(KEY_A, 100) + tap(KEY_B, 300) + tap(KEY_C, 500) + tap(KEY_ENTER, 700),
         [](int) {});
    end_screen_frame();
    EXPECT_EQ(entered_name(), "ABC");
    EXPECT_EQ(count_waits(100), 1 + 6);  // the first pass took nothing
}

// Taps that start and end between two passes: the keyboard callback keeps each once, in
// order. A repeat of a key still down is not a new press.
TEST_F(EndScreen, EveryPressBetweenTwoPassesIsTakenOnceAndInOrder) {
    play({}, [](int now) {
        if (now != 100) return;
        note_key_press(0x7f);  // the highest scancode a byte holds, down and up: ignored, and
        note_key_press(0xff);  // within the watcher's own table (the sanitizers would say)
        for (int k : {KEY_D, KEY_O, KEY_O, KEY_T}) note_key_press(k);  // the second O: a repeat
        note_key_press(KEY_O | 0x80);
        for (int k : {KEY_D, KEY_T, KEY_O}) note_key_press(k | 0x80);
        note_key_press(KEY_BACKSPACE);
        note_key_press(KEY_BACKSPACE | 0x80);
        note_key_press(KEY_T);
        note_key_press(KEY_T | 0x80);
    });
    bool entered = false;
    world.on_wait = [old = world.on_wait, &entered](int now) {
        old(now);
        if (now >= 300 && !entered) {
            entered = true;
            note_key_press(KEY_ENTER);
            note_key_press(KEY_ENTER | 0x80);
        }
    };
    finish_round_and_visit(50);
    EXPECT_EQ(entered_name(), "DOT");
    EXPECT_EQ(got_highscore, 5);
}

// Ordinary keystrokes, wherever they fall between the passes: each types once. A press
// is taken at the next pass; the letter's rest and the pass's make the next one 200 ms on.
TEST_F(EndScreen, KeystrokesShorterThanARepeatTypeOnceAtAnyPhase) {
    using key_script::stroke;
    for (const int hold : {60, 100, 150, 199}) {
        for (const int phase : {0, 1, 50, 99}) {
            again();
            const int t = 1000 + phase;
            play(stroke(KEY_A, t, hold) + stroke(KEY_B, t + 400, hold) + stroke(KEY_C, t + 800, hold) +
                 stroke(KEY_ENTER, 2500, 60));
            finish_round_and_visit(50);
            EXPECT_EQ(entered_name(), "ABC") << hold << " ms held, " << phase << " ms after a pass";
        }
    }
}

TEST_F(EndScreen, LongHoldsRepeatAndOverlappingKeysKeepTheirOrder) {
    using key_script::stroke;
    // Held 450 ms: typed at the pass after it went down, again 200 ms later.
    play(stroke(KEY_A, 1050, 450) + stroke(KEY_B, 2000, 100) + stroke(KEY_ENTER, 2500, 60));
    finish_round_and_visit(50);
    EXPECT_EQ(entered_name(), "AAB");

    // Z down, then A and Q while it is still down: typed in the order they went down.
    again();
    play(stroke(KEY_Z, 1000, 120) + stroke(KEY_A, 1040, 120) + stroke(KEY_Q, 1100, 90) +
         stroke(KEY_ENTER, 2000, 60));
    finish_round_and_visit(50);
    EXPECT_EQ(entered_name(), "ZAQ");

    // A Backspace of 150 ms erases one letter; one held 450 ms erases two.
    again();
    play(stroke(KEY_A, 1000, 80) + stroke(KEY_B, 1010, 80) + stroke(KEY_C, 1020, 80) +
         stroke(KEY_BACKSPACE, 1650, 150) + stroke(KEY_D, 2100, 150) + stroke(KEY_BACKSPACE, 2550, 450) +
         stroke(KEY_E, 3200, 100) + stroke(KEY_F, 3500, 100) + stroke(KEY_ENTER, 4000, 60));
    finish_round_and_visit(50);
    EXPECT_EQ(entered_name(), "AEF");
}

TEST_F(EndScreen, DuringTheEntryOnlyTheBackdropTheTwoLinesAndTheCursorShow) {
    testing_support::set_mouse(320, 450, 1);  // held on Quit the whole time
    bool state_changed = false;
    play(tap(KEY_A, 100) + tap(KEY_B, 300) + tap(KEY_C, 500) + tap(KEY_ENTER, 800), [&](int now) {
        if (world.waits.back() == 100) state_changed |= game_state != state_end_of_game;
        if (now == 100) take_snapshot();
    });
    finish_round_and_visit(50);
    EXPECT_FALSE(state_changed);
    EXPECT_EQ(game_state, state_end_of_game);  // a press held since the round does not act

    // First pass: backdrop, heading, band, the heading line and the cursor at the first cell.
    EXPECT_EQ(colour_at(snapshot, 76, 25) , stand_ins::heading_colour() & 0xffffff);
    EXPECT_EQ(colour_at(snapshot, 75, 25), rgb(40, 40, 40) & 0xffffff);  // masked corner
    EXPECT_EQ(colour_at(snapshot, 5, 200), stand_ins::band_colour(3, 16) & 0xffffff);
    EXPECT_TRUE(has_colour(snapshot, 264, 130, 376, 138, white));
    EXPECT_FALSE(has_colour(snapshot, 0, 130, 264, 138, white));
    EXPECT_TRUE(has_colour(snapshot, 249, 153, 257, 161, yellow));
    EXPECT_FALSE(has_colour(snapshot, 250, 150, 274, 158, white));  // three spaces
    // No table, no buttons, no aim cursor.
    EXPECT_FALSE(has_colour(snapshot, 300, 170, 390, 330, white));
    EXPECT_EQ(colour_at(snapshot, 272, 400), rgb(40, 40, 40) & 0xffffff);
    EXPECT_EQ(colour_at(snapshot, 272, 450), rgb(40, 40, 40) & 0xffffff);
    EXPECT_EQ(colour_at(snapshot, 305, 440), rgb(40, 40, 40) & 0xffffff);
}

TEST_F(EndScreen, ThreeLettersShowTheConfirmMarkInsteadOfTheCursor) {
    play(tap(KEY_X, 0) + tap(KEY_Y, 200) + tap(KEY_Z, 400) + tap(KEY_ENTER, 800), [&](int now) {
        if (now == 600) take_snapshot();
    });
    finish_round_and_visit(50);
    const int mark = stand_ins::confirm_colour() & 0xffffff;
    EXPECT_EQ(colour_at(snapshot, 280, 152), mark);
    EXPECT_EQ(colour_at(snapshot, 302, 160), mark);
    EXPECT_NE(colour_at(snapshot, 303, 152), mark);
    EXPECT_NE(colour_at(snapshot, 280, 161), mark);
    EXPECT_TRUE(has_colour(snapshot, 266, 150, 274, 158, white));
    EXPECT_FALSE(has_colour(snapshot, 240, 150, 400, 170, yellow));
}

TEST_F(EndScreen, TheTableShowsTheNewRowInYellowAndTheOthersInWhite) {
    play(tap(KEY_N, 0) + tap(KEY_E, 200) + tap(KEY_W, 400) + tap(KEY_ENTER, 600));
    finish_round_and_visit(95);  // 950 enters at row 1
    ASSERT_EQ(got_highscore, 1);
    const int digits[10] = {4, 3, 3, 3, 3, 3, 3, 3, 3, 3};
    for (int i = 0; i < 10; ++i) expect_row(i, i == 1 ? yellow : white, digits[i]);
    // The buttons and the aim cursor are back, and the wipe left exactly this picture.
    EXPECT_EQ(colour_at(buffer, 272, 400), white);
    EXPECT_EQ(colour_at(buffer, 272, 450), white);
    EXPECT_TRUE(testing_support::same_pixels(buffer, fake_screen));
}

TEST_F(EndScreen, ARoundBelowTheTenthShowsTheTableAtOnceWithNoRowHighlighted) {
    finish_round_and_visit(9);  // 90 is below 100
    EXPECT_EQ(got_highscore, 10);
    EXPECT_EQ(world.sounds, std::vector<int>{0});
    EXPECT_EQ(count_waits(100), 0);
    for (int i = 0; i < 10; ++i) expect_row(i, white, i == 0 ? 4 : 3);
    EXPECT_FALSE(data_folder_exists());
}

TEST_F(EndScreen, ATieWithTheTenthEntersAtTheBottomAndPushesItOut) {
    play(tap(KEY_T, 0) + tap(KEY_I, 200) + tap(KEY_E, 400) + tap(KEY_ENTER, 600));
    finish_round_and_visit(10);
    EXPECT_EQ(got_highscore, 9);
    EXPECT_EQ(std::string(highscore[9].name, 3), "TIE");
    EXPECT_NE(file_bytes::read(highscore_path).find("T I E 100 1 \n"), std::string::npos);
    EXPECT_EQ(file_bytes::read(highscore_path).find("J J J"), std::string::npos);
}

TEST_F(EndScreen, AVisitFromTheTitleMenuNeverOffersTheEntryEvenOnAnEmptyTable) {
    for (auto& row : highscore) row = {};
    visit();  // the title menu set player.score to 0; no round was finished
    EXPECT_EQ(world.sounds, std::vector<int>{0});
    EXPECT_EQ(got_highscore, 10);
    EXPECT_FALSE(data_folder_exists());
    // Names never filled print nothing; every score prints "0".
    for (int i = 0; i < 10; ++i) {
        const int y = 130 + 20 * i;
        EXPECT_FALSE(has_colour(buffer, 250, y, 274, y + 8, white)) << i;
        EXPECT_TRUE(has_colour(buffer, 372, y, 380, y + 8, white)) << i;
    }
}

TEST_F(EndScreen, AnEntryIsOfferedAtMostOncePerVisit) {
    for (auto& row : highscore) row = {};
    play(tap(KEY_Z, 0) + tap(KEY_E, 200) + tap(KEY_R, 400) + tap(KEY_ENTER, 600));
    finish_round_and_visit(0);  // a zero round does reach an all-zero table
    EXPECT_EQ(got_highscore, 0);

    world.waits.clear();
    world.sounds.clear();
    end_screen_frame();
    end_screen_frame();
    EXPECT_EQ(world.waits, (std::vector<int>{20, 20}));  // no entry, no second wipe
    EXPECT_TRUE(world.sounds.empty());
    EXPECT_EQ(got_highscore, 0);  // the row stays highlighted for the visit

    visit();  // back from the title menu
    EXPECT_EQ(world.sounds, std::vector<int>{});
    EXPECT_EQ(got_highscore, 10);
}

TEST_F(EndScreen, NameCharactersPrintUpToANul) {
    highscore[0] = {{'W', '\0', 'X'}, 1000, 1};
    highscore[1] = {{'\xe9', 'B', 'C'}, 900, 1};  // any byte from a file is drawn safely
    visit();
    EXPECT_TRUE(has_colour(buffer, 250, 130, 258, 138, white));
    EXPECT_FALSE(has_colour(buffer, 258, 130, 274, 138, white));
    EXPECT_TRUE(has_colour(buffer, 266, 150, 274, 158, white));
}

TEST_F(EndScreen, SetUpShowsStageOneBeforeAnyRoundAndTheButtonsLeave) {
    stage = 0;
    visit();
    EXPECT_EQ(stage, 1);
    EXPECT_EQ(colour_at(buffer, 5, 184), stand_ins::band_colour(1, 0) & 0xffffff);
    EXPECT_EQ(colour_at(buffer, 5, 283), stand_ins::band_colour(1, 99) & 0xffffff);
    EXPECT_EQ(colour_at(buffer, 5, 284), rgb(40, 40, 40) & 0xffffff);

    testing_support::set_mouse(320, 400, 1);
    end_screen_frame();
    EXPECT_EQ(game_state, state_title);
    game_state = state_end_of_game;
    testing_support::set_mouse(320, 450, 0);
    world.now += 1000;
    testing_support::set_mouse(320, 450, 1);
    end_screen_frame();
    EXPECT_EQ(game_state, state_leave);
    EXPECT_EQ(count_waits(1), 214);  // only the first pass wiped in
}

}  // namespace

namespace {

// A round played with no input to its end, its replay beside the table as row 9's.
void replay_in_row_nine() {
    stand_ins::reset_to_round(9);
    while (game_state == state_play) play_frame();
    ASSERT_TRUE(recorded_round_complete());
    std::memcpy(recorded_round.name, "REC", 3);
    highscore[9] = {{'R', 'E', 'C'}, recorded_round.score, 1};
    mkdir("KZ DATA", 0755);
    ASSERT_TRUE(save_replay_file(highscore_path, recorded_round));
    find_row_replays(highscore_path);
    ASSERT_FALSE(row_replay[9].empty());
    finished_round_waiting = false;
}

}  // namespace

TEST_F(EndScreen, ARowsReplayShowsItsMarkAndPlaysBackChangingNothing) {
    replay_in_row_nine();
    game_state = state_end_of_game;
    stage = 3;
    player.score = 0;
    screen_lock = true;
    const int games = t_games;
    record table[highscore_rows];
    std::copy(highscore, highscore + highscore_rows, table);
    testing_support::set_mouse(300, 313, 0);
    visit();
    EXPECT_TRUE(has_colour(buffer, 388, 310, 395, 317, white)) << "the play mark";
    EXPECT_FALSE(has_colour(buffer, 386, 130, 396, 300, white)) << "rows typed in have none";

    // Pressed on the row and held, which runs the replay fast; moved onto Quit meanwhile.
    // Presses land from another thread while it plays, as the library's input thread
    // brings them, and touch nothing the replay swaps (ThreadSanitizer runs this).
    testing_support::set_mouse(300, 313, 1);
    int frames_waited = 0;
    std::atomic<bool> pressing{true};
    std::thread input_thread([&] {
        while (pressing) {
            note_mouse_change(MOUSE_FLAG_LEFT_DOWN);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    world.on_wait = [&](int) {
        if (++frames_waited != 100) return;
        pressing = false;
        input_thread.join();
        testing_support::set_mouse(320, 450, 1);
    };
    end_screen_frame();
    world.on_wait = nullptr;
    if (input_thread.joinable()) input_thread.join();
    EXPECT_GT(frames_waited, 1000) << "the whole replay ran";
    EXPECT_EQ(game_state, state_end_of_game) << "the held press does not quit";
    EXPECT_EQ(stage, 3);
    EXPECT_EQ(player.score, 0);
    EXPECT_EQ(t_games, games);
    EXPECT_EQ(std::memcmp(table, highscore, sizeof table), 0);
    EXPECT_EQ(quit.y, 450) << "the table's buttons are back";
    end_screen_frame();
    EXPECT_EQ(game_state, state_end_of_game);
    testing_support::set_mouse(320, 450, 0);
    end_screen_frame();
    testing_support::set_mouse(320, 450, 1);
    end_screen_frame();
    EXPECT_EQ(game_state, state_leave);
}
