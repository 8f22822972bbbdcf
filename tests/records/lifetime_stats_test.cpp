// The lifetime figures: the carry, adding a finished round, and the statistics file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <string>

#include "support/file_bytes.h"
#include "play/round.h"
#include "screens/end_screen.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"
#include "support/headless.h"

namespace {

using testing_support::scratch_dir;

void set_figures(int blocks, int games, int combo, int score, int hours, int minutes, int seconds) {
    t_blocks_cut = blocks;
    t_games = games;
    m_combo = combo;
    m_score = score;
    t_play_time[2] = hours;
    t_play_time[1] = minutes;
    t_play_time[0] = seconds;
}

void expect_figures(int blocks, int games, int combo, int score, int hours, int minutes, int seconds) {
    EXPECT_EQ(t_blocks_cut, blocks);
    EXPECT_EQ(t_games, games);
    EXPECT_EQ(m_combo, combo);
    EXPECT_EQ(m_score, score);
    EXPECT_EQ(t_play_time[2], hours);
    EXPECT_EQ(t_play_time[1], minutes);
    EXPECT_EQ(t_play_time[0], seconds);
}

void finish_round(int cut, int overflow, int minutes, int seconds, int frames, int score) {
    blocks_cut = cut;
    cut_block_overflow = overflow;
    play_time[0] = frames;
    play_time[1] = seconds;
    play_time[2] = minutes;
    player.score = score;
    add_finished_round(finished_round_figures());
}

text_fit read_text(const std::string& text) { return read_stats_text(text.data(), text.size()); }

struct carry_case {
    int hours, minutes, seconds;
    int want_hours, want_minutes, want_seconds;
};

TEST(LifetimeStats, UpdateLongTimerFoldsSecondsThenMinutes) {
    const carry_case cases[] = {
        {0, 59, 62, 1, 0, 2},     // 0h 58m 5s plus 1m 57s
        {0, 0, 59, 0, 0, 59},     // 59 stays
        {0, 0, 60, 0, 1, 0},      // 60 folds
        {0, 59, 59, 0, 59, 59},
        {0, 60, 0, 1, 0, 0},
        {2, 0, 7325, 4, 2, 5},    // any amount in one call
        {0, -5, -70, 0, -5, -70},  // negatives from a file are left alone
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX, 7, 7},  // stops at the limit instead of wrapping
    };
    for (const carry_case& c : cases) {
        int32_t h = c.hours, m = c.minutes, s = c.seconds;
        update_long_timer(&h, &m, &s);
        EXPECT_EQ(h, c.want_hours) << c.hours << "h " << c.minutes << "m " << c.seconds << "s";
        EXPECT_EQ(m, c.want_minutes) << c.hours << "h " << c.minutes << "m " << c.seconds << "s";
        EXPECT_EQ(s, c.want_seconds) << c.hours << "h " << c.minutes << "m " << c.seconds << "s";
    }
}

TEST(LifetimeStats, FinishedRoundsAddTheirOwnBlocksTimeAndScoreOnce) {
    set_figures(100, 4, 6, 50, 0, 58, 5);
    finished_round_waiting = false;
    finish_round(400, 37, 1, 57, 38, 60);
    expect_figures(537, 5, 6, 60, 1, 0, 2);  // the 38 frames of an unfinished second are dropped
    EXPECT_TRUE(finished_round_waiting);

    finish_round(10, 0, 2, 30, 0, 60);  // equal score changes nothing
    expect_figures(547, 6, 6, 60, 1, 2, 32);
    finish_round(0, 0, 0, 0, 0, 59);
    expect_figures(547, 7, 6, 60, 1, 2, 32);
}

TEST(LifetimeStats, TotalsFromAHostileFileStopAtTheLimits) {
    set_figures(INT_MAX - 1, INT_MAX, 0, 0, INT_MAX, 59, 59);
    finish_round(400, 400, 0, 1, 0, 5);
    expect_figures(INT_MAX, INT_MAX, 0, 5, INT_MAX, 0, 0);
}

TEST(StatsFile, SavedBytesAreTwoLinesWithNothingAfterTheLastDigit) {
    const std::string path = scratch_dir("stats_bytes") + "/stats.dat";
    set_figures(120, 3, 7, 260, 1, 2, 3);
    save_stats(path.c_str());
    EXPECT_EQ(file_bytes::read(path), "120 3 7 260\n1 2 3");

    set_figures(-1, INT_MIN, INT_MAX, -260, 0, -2, 0);
    save_stats(path.c_str());
    EXPECT_EQ(file_bytes::read(path), "-1 -2147483648 2147483647 -260\n0 -2 0");
    set_figures(9, 9, 9, 9, 9, 9, 9);
    load_stats(path.c_str());
    expect_figures(-1, INT_MIN, INT_MAX, -260, 0, -2, 0);
}

// Two copies of the game on one data folder: each save adds its own rounds to what is on
// disk, so neither copy's rounds are lost and none is counted twice.
TEST(StatsFile, ASaveAddsThisSessionsRoundsToWhatAnotherCopySaved) {
    const std::string path = scratch_dir("stats_merge") + "/stats.dat";
    file_bytes::write(path, "100 4 6 50\n0 58 5");
    load_stats(path.c_str());
    finish_round(400, 37, 1, 57, 38, 60);
    // With nobody else saving, the bytes are the figures in memory.
    char alone[stats_text_room];
    const std::string expected(alone, write_stats_text(alone));
    ASSERT_TRUE(save_stats(path.c_str()));
    EXPECT_EQ(file_bytes::read(path), expected);

    // Another copy finishes a round of 10 blocks, 55 seconds, a combo of 9 and 40 points.
    file_bytes::write(path, "547 6 9 60\n1 1 57");
    finish_round(3, 0, 0, 4, 0, 70);  // ours: 1h 1m 6s in memory
    ASSERT_TRUE(save_stats(path.c_str()));
    EXPECT_EQ(file_bytes::read(path), "550 7 9 70\n1 2 1");
    expect_figures(550, 7, 9, 70, 1, 2, 1);  // what the statistics screen shows now

    // Saving again adds nothing twice.
    ASSERT_TRUE(save_stats(path.c_str()));
    EXPECT_EQ(file_bytes::read(path), "550 7 9 70\n1 2 1");
}

TEST(StatsFile, HandEditedLayoutsReadAsTheGamesOwnFile) {
    for (const char* text : {"120 3 7 260\r\n1 2 3\r\n", "120\t3  7 260\n\n1 2 3\n", "0x78 03 +7 0x104\n1 0x2 003"}) {
        set_figures(9, 9, 9, 9, 9, 9, 9);
        read_text(text);
        expect_figures(120, 3, 7, 260, 1, 2, 3);
    }
    // Minutes and seconds above 59 stay as they are until the next round end.
    read_text("0 0 0 0\n0 75 200");
    expect_figures(0, 0, 0, 0, 0, 75, 200);
}

TEST(StatsFile, FiguresTheFileDoesNotHoldKeepTheirValues) {
    set_figures(9, 9, 9, 9, 9, 9, 9);
    read_text("120 3 7 260\n1 2");
    expect_figures(120, 3, 7, 260, 1, 2, 9);

    set_figures(0, 0, 0, 0, 0, 0, 0);
    read_text("");
    expect_figures(0, 0, 0, 0, 0, 0, 0);

    // As with fscanf, the second line's format picks up where the first one failed.
    set_figures(9, 9, 9, 9, 9, 9, 9);
    read_text("1 2 3 - 5 6");
    expect_figures(1, 2, 3, 9, 5, 6, 9);

    set_figures(9, 9, 9, 9, 9, 9, 9);
    read_text("junk\x01\xff");
    expect_figures(9, 9, 9, 9, 9, 9, 9);

    set_figures(9, 9, 9, 9, 9, 9, 9);
    load_stats((scratch_dir("stats_missing") + "/nothing.dat").c_str());
    expect_figures(9, 9, 9, 9, 9, 9, 9);
}

// Read as the highscore file is: a byte-order mark is skipped, a damaged file is copied
// aside before the save that replaces it, and two files not saved are both named.
TEST(StatsFile, AByteOrderMarkIsSkippedAndADamagedFileIsKeptBeforeItIsSaved) {
    set_figures(0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(read_text("\xef\xbb\xbf" "120 3 7 260\r\n1 2 3\r\n"), text_fit::whole);
    expect_figures(120, 3, 7, 260, 1, 2, 3);
    EXPECT_EQ(read_text("120 3 7"), text_fit::cut_short);
    EXPECT_EQ(read_text("120 3 7 260\n1 2 3 4"), text_fit::damaged);
    EXPECT_EQ(read_text("120 3 seven 260\n1 2 3"), text_fit::damaged);

    const std::string path = scratch_dir("stats_damaged") + "/stats.dat";
    file_bytes::write(path, "blocks=120\n");
    load_stats(path.c_str());
    EXPECT_TRUE(save_stats(path.c_str()));
    EXPECT_EQ(file_bytes::read(path + ".damaged"), "blocks=120\n");
    EXPECT_TRUE(save_stats(path.c_str()));
    EXPECT_NE(access((path + ".damaged.2").c_str(), F_OK), 0) << "copied once";

    // Both files unsaved: the notice line names both, and each stops when saved.
    const std::string nowhere = scratch_dir("stats_nowhere") + "/a file";
    file_bytes::write(nowhere, "");
    EXPECT_FALSE(save_stats((nowhere + "/stats.dat").c_str()));
    EXPECT_FALSE(save_highscore((nowhere + "/highscore.dat").c_str()));
    EXPECT_STREQ(data_notice, "Highscores and statistics not saved: see stderr");
    EXPECT_TRUE(save_stats(path.c_str()));
    EXPECT_STREQ(data_notice, "The highscores could not be saved.");
    EXPECT_TRUE(save_highscore((scratch_dir("stats_nowhere") + "/highscore.dat").c_str()));
}

// Another copy that never lets go of the lock costs one wait, then the saves go ahead.
TEST(StatsFile, AHungLockDelaysTheFirstSaveAndLosesNothing) {
    const std::string folder = scratch_dir("stats_hung_lock");
    const std::string path = folder + "/stats.dat";
    const int other_copy = open((folder + "/save.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(flock(other_copy, LOCK_EX), 0);
    set_figures(5, 1, 2, 3, 0, 1, 2);
    data_notice[0] = '\0';
    EXPECT_TRUE(save_stats(path.c_str()));
    EXPECT_EQ(file_bytes::read(path), "5 1 2 3\n0 1 2");
    EXPECT_NE(std::string(data_notice).find("Another copy"), std::string::npos) << data_notice;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(enter_highscore((folder + "/highscore.dat").c_str(), {{'L', 'O', 'K'}, 2000000, 1}), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(file_bytes::read(folder + "/highscore.dat").substr(0, 17), "L O K 2000000 1 \n");
    close(other_copy);
}

TEST(StatsFile, NumbersBeyondThirtyTwoBitsAreClamped) {
    read_text("99999999999 -99999999999 0x100000000 2147483648\n-2147483649 1 1");
    expect_figures(INT_MAX, INT_MIN, INT_MAX, INT_MAX, INT_MIN, 1, 1);
}

}  // namespace
