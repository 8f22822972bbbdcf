// The insertion rule of the highscore table, with no files involved.
#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>

#include "records/highscore_table.h"

namespace {

record entry(const char* name, int score) { return {{name[0], name[1], name[2]}, score, 1}; }

// Fills the table with the given scores, names "R0 ".."R9 " so moves can be traced.
void set_scores(std::initializer_list<int> scores) {
    int i = 0;
    for (int s : scores) {
        highscore[i] = {{'R', static_cast<char>('0' + i), ' '}, s, 100 + i};
        ++i;
    }
}

char tag(int row) { return highscore[row].name[1]; }

TEST(HighscoreTable, TiesGoAboveEveryEqualScoreAndTheTenthRowDropsOut) {
    set_scores({900, 800, 500, 500, 400, 300, 200, 100, 50, 10});
    EXPECT_EQ(add_highscore(entry("NEW", 500)), 2);
    EXPECT_EQ(highscore[2].score, 500);
    EXPECT_EQ(highscore[2].name[0], 'N');
    EXPECT_EQ(tag(3), '2');
    EXPECT_EQ(tag(4), '3');
    EXPECT_EQ(highscore[4].extra, 103);  // rows move whole
    EXPECT_EQ(tag(9), '8');              // the former tenth is gone
}

TEST(HighscoreTable, ScoreEqualToTheTenthOnlyReplacesIt) {
    set_scores({900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
    EXPECT_EQ(add_highscore(entry("TIE", 50)), 9);
    EXPECT_EQ(highscore[9].name[0], 'T');
    EXPECT_EQ(tag(8), '8');
}

TEST(HighscoreTable, NewBestGoesFirstAndEveryRowMovesDown) {
    set_scores({900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
    EXPECT_EQ(add_highscore(entry("TOP", 901)), 0);
    for (int i = 1; i < 10; ++i) EXPECT_EQ(tag(i), '0' + i - 1) << i;
}

TEST(HighscoreTable, OutOfOrderTableTakesTheFirstRowAtOrBelow) {
    set_scores({100, 900, 50, 40, 30, 20, 10, 5, 2, 1});
    EXPECT_EQ(add_highscore(entry("MID", 500)), 0);
    EXPECT_EQ(tag(1), '0');
    EXPECT_EQ(tag(2), '1');
}

TEST(HighscoreTable, ScoreBelowEveryRowChangesNothing) {
    set_scores({900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
    EXPECT_EQ(add_highscore(entry("LOW", 49)), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(tag(i), '0' + i) << i;
    set_scores({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(add_highscore(entry("NEG", -1)), 10);
}

TEST(HighscoreTable, ShownScoreIsTenTimesAndStopsAtTheLimits) {
    EXPECT_EQ(shown_score(26), 260);
    EXPECT_EQ(shown_score(-3), -30);
    EXPECT_EQ(shown_score(214748364), 2147483640);
    EXPECT_EQ(shown_score(214748365), INT_MAX);
    EXPECT_EQ(shown_score(INT_MIN), INT_MIN);
}

TEST(HighscoreTable, DefaultTableIsInOrderWithGameMadeEntries) {
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(default_highscore[i].extra, 1);
        EXPECT_GT(default_highscore[i].score, 0);
        if (i > 0) {
            EXPECT_LT(default_highscore[i].score, default_highscore[i - 1].score);
        }
    }
}

}  // namespace
