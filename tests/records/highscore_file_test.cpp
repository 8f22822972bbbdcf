// The highscore file: its exact bytes, and how damaged or hand-edited files read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "support/file_bytes.h"
#include "platform/data_file.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/highscore_table.h"
#include "support/headless.h"

namespace {

using testing_support::scratch_dir;

// Rows "AAA".."JJJ" with scores 1000, 900, ... and extra 1, as the game makes them.
void fill_game_table() {
    for (int i = 0; i < 10; ++i) {
        const char c = static_cast<char>('A' + i);
        highscore[i] = {{c, c, c}, 1000 - 100 * i, 1};
    }
}

void fill_marker_table() {
    for (auto& row : highscore) row = {{'?', '?', '?'}, 7, 7};
}

std::string game_file_text() {
    std::string text;
    for (int i = 0; i < 10; ++i) {
        const std::string c(1, static_cast<char>('A' + i));
        text += c + " " + c + " " + c + " " + std::to_string(1000 - 100 * i) + " 1 \n";
    }
    return text;
}

text_fit read_text(const std::string& text) { return read_highscore_text(text.data(), text.size()); }

void expect_game_table() {
    for (int i = 0; i < 10; ++i) {
        const char c = static_cast<char>('A' + i);
        EXPECT_EQ(std::string(highscore[i].name, 3), std::string(3, c)) << "row " << i;
        EXPECT_EQ(highscore[i].score, 1000 - 100 * i) << "row " << i;
        EXPECT_EQ(highscore[i].extra, 1) << "row " << i;
    }
}

TEST(HighscoreFile, SavedBytesAreTheLineFormatAndReloadTheSameTable) {
    const std::string path = scratch_dir("hs_round_trip") + "/highscore.dat";
    fill_game_table();
    highscore[8] = {{'N', 'E', 'G'}, -250, 1};
    highscore[9] = {{'M', 'I', 'N'}, INT_MIN, -1};
    save_highscore(path.c_str());

    std::string expected = game_file_text();
    expected.replace(expected.find("I I I 200 1 \n"), 13, "N E G -250 1 \n");
    expected.replace(expected.find("J J J 100 1 \n"), 13, "M I N -2147483648 -1 \n");
    EXPECT_EQ(file_bytes::read(path), expected);

    fill_marker_table();
    load_highscore(path.c_str());
    EXPECT_EQ(highscore[8].score, -250);
    EXPECT_EQ(highscore[9].score, INT_MIN);
    EXPECT_EQ(highscore[9].extra, -1);
    EXPECT_EQ(std::string(highscore[0].name, 3), "AAA");
}

TEST(HighscoreFile, NulNameCharactersAreWrittenAsBytesAndReadBack) {
    const std::string path = scratch_dir("hs_nul") + "/highscore.dat";
    fill_game_table();
    highscore[0] = {{'\0', '\0', '\0'}, 0, 0};
    save_highscore(path.c_str());
    EXPECT_EQ(file_bytes::read(path).substr(0, 11), std::string("\0 \0 \0 0 0 \n", 11));
    fill_marker_table();
    load_highscore(path.c_str());
    EXPECT_EQ(std::memcmp(highscore[0].name, "\0\0\0", 3), 0);
    EXPECT_EQ(highscore[1].score, 900);
}

TEST(HighscoreFile, HandEditedLayoutsReadAsTheGamesOwnFile) {
    std::string crlf, tabs, spaced;
    for (int i = 0; i < 10; ++i) {
        const std::string c(1, static_cast<char>('A' + i));
        const std::string score = std::to_string(1000 - 100 * i);
        crlf += c + " " + c + " " + c + " " + score + " 1 \r\n";
        tabs += c + "\t" + c + "\t" + c + "\t" + score + "\t1\t\n";
        spaced += c + "   " + c + "  " + c + "    " + score + "   +1\n\n";
    }
    char hex[32];
    std::string hexadecimal;
    for (int i = 0; i < 10; ++i) {
        std::snprintf(hex, sizeof hex, "%c %c %c 0x%X 0x1 \n", 'A' + i, 'A' + i, 'A' + i, 1000 - 100 * i);
        hexadecimal += hex;
    }
    for (const std::string* text : {&crlf, &tabs, &spaced, &hexadecimal}) {
        fill_marker_table();
        read_text(*text);
        expect_game_table();
    }
    fill_marker_table();
    read_text("A B C 01750 -0x10 \n");  // octal 1000
    EXPECT_EQ(highscore[0].score, 1000);
    EXPECT_EQ(highscore[0].extra, -16);
}

TEST(HighscoreFile, RowsTheFileDoesNotHoldKeepTheirContents) {
    const std::string four_lines = game_file_text().substr(0, game_file_text().find("E E E"));
    fill_marker_table();
    read_text(four_lines);
    EXPECT_EQ(highscore[3].score, 700);
    for (int i = 4; i < 10; ++i) EXPECT_EQ(highscore[i].score, 7) << i;

    // Only a missing file gets the default table.
    fill_marker_table();
    load_highscore((scratch_dir("hs_missing") + "/nothing.dat").c_str());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(highscore[i].score, default_highscore[i].score) << i;
}

TEST(HighscoreFile, RowsAShortFileDoesNotSupplyStayZeroAtStartUp) {
    const std::string path = scratch_dir("hs_short") + "/highscore.dat";
    file_bytes::write(path, "K L M 90 1 \nN O P 80 1 \nQ R S 70 1 \nT U V 60 1 \n");
    for (auto& row : highscore) row = {};
    load_highscore(path.c_str());
    EXPECT_EQ(highscore[3].score, 60);
    for (int i = 4; i < 10; ++i) {
        EXPECT_EQ(highscore[i].score, 0) << i;
        EXPECT_EQ(highscore[i].name[0], '\0') << i;
    }
}

// Another copy of the game saved a new row since this one read the file: the entry goes
// into the table as it stands on disk, and both rows are kept.
TEST(HighscoreFile, AnEntryGoesIntoTheTableAsItStandsOnDisk) {
    const std::string path = scratch_dir("hs_merge") + "/highscore.dat";
    file_bytes::write(path, game_file_text());
    load_highscore(path.c_str());
    std::string theirs = game_file_text();
    theirs.replace(theirs.find("J J J 100 1 \n"), 13, "");
    theirs.insert(0, "Z Z Z 2000 1 \n");
    file_bytes::write(path, theirs);

    EXPECT_EQ(enter_highscore(path.c_str(), {{'N', 'E', 'W'}, 850, 1}), 3);
    EXPECT_EQ(std::string(highscore[0].name, 3), "ZZZ");
    EXPECT_EQ(std::string(highscore[3].name, 3), "NEW");
    char expected[highscore_text_room];
    EXPECT_EQ(file_bytes::read(path), std::string(expected, write_highscore_text(expected)));
    EXPECT_EQ(file_bytes::read(path).find("I I I"), std::string::npos);  // pushed out by both
    EXPECT_TRUE(save_held_highscores(path.c_str()));
}

// A file that is there but cannot be read is never saved over; the player is told.
TEST(HighscoreFile, AFileThatCannotBeReadIsNeverReplaced) {
    const std::string folder = scratch_dir("hs_refused");
    const std::string path = folder + "/highscore.dat";
    ASSERT_EQ(symlink("/dev/null", path.c_str()), 0);
    data_notice[0] = '\0';
    fill_marker_table();
    load_highscore(path.c_str());
    EXPECT_EQ(highscore[0].score, 7);  // neither read nor the defaults
    EXPECT_STRNE(data_notice, "");
    EXPECT_EQ(enter_highscore(path.c_str(), {{'N', 'E', 'W'}, 850, 1}), 0);
    EXPECT_FALSE(save_held_highscores(path.c_str())) << "the entry is not on disk";
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    load_highscore((folder + "/other.dat").c_str());  // a later start with a missing file
}

TEST(HighscoreFile, AHalfReadRowIsNotStoredAndEndsTheReading) {
    fill_marker_table();
    read_text("A A A 1000 1 \nB B B 900");  // cut inside the second row
    EXPECT_EQ(highscore[0].score, 1000);
    EXPECT_EQ(highscore[1].score, 7);
    EXPECT_EQ(highscore[1].name[0], '?');

    // A broken number puts the rest of the file out of step; nothing after it is taken.
    fill_marker_table();
    read_text("A A A 1000 1 \nB B B 9x0 1 \nC C C 800 1 \n");
    EXPECT_EQ(highscore[0].score, 1000);
    EXPECT_EQ(highscore[1].score, 7);
    EXPECT_EQ(highscore[2].score, 7);
}

TEST(HighscoreFile, NumbersBeyondThirtyTwoBitsAreClamped) {
    fill_marker_table();
    read_text("A A A 99999999999999999999999 -4294967296 \nB B B 0xFFFFFFFF 2147483648 \n");
    EXPECT_EQ(highscore[0].score, INT_MAX);
    EXPECT_EQ(highscore[0].extra, INT_MIN);
    EXPECT_EQ(highscore[1].score, INT_MAX);
    EXPECT_EQ(highscore[1].extra, INT_MAX);
}

TEST(HighscoreFile, HugeFilesAreReadOnlyAsFarAsTheLimit) {
    const std::string path = scratch_dir("hs_huge") + "/highscore.dat";
    // Valid first row, then a number running far past the limit, then a row never reached.
    std::string text = "A A A 1000 1 \nB B B ";
    text += std::string(data_file_read_limit * 4, '1');
    text += " 1 \nC C C 800 1 \n";
    file_bytes::write(path, text);
    fill_marker_table();
    load_highscore(path.c_str());
    EXPECT_EQ(highscore[0].score, 1000);
    EXPECT_EQ(highscore[1].score, 7);  // its extra lies beyond the limit
    EXPECT_EQ(highscore[2].score, 7);

    // A folder in place of the file is not read at all.
    const std::string folder = scratch_dir("hs_folder");
    load_highscore(folder.c_str());
    EXPECT_EQ(highscore[0].score, 1000);
}

// An editor's byte-order mark is no damage. A file read only part way before something
// unexpected (not one that simply ends early) is copied aside before a save replaces it.
TEST(HighscoreFile, AByteOrderMarkIsSkippedAndADamagedFileIsKeptBeforeItIsSaved) {
    fill_marker_table();
    EXPECT_EQ(read_text("\xef\xbb\xbf" + game_file_text()), text_fit::whole);
    expect_game_table();
    EXPECT_EQ(read_text("A A A 1000 1 \r\nB B B 900 1 \r\n"), text_fit::cut_short);
    EXPECT_EQ(read_text("A A A 1000 1 \nB B B 900"), text_fit::cut_short);
    EXPECT_EQ(read_text(""), text_fit::cut_short);
    EXPECT_EQ(read_text("\xef\xbb\xbf\xef\xbb\xbf" + game_file_text()), text_fit::damaged);
    EXPECT_EQ(read_text(game_file_text() + "K K K 0 1 \n"), text_fit::damaged);
    EXPECT_EQ(read_text("<html>\n<body>scores</body>\n"), text_fit::damaged);

    const std::string folder = scratch_dir("hs_damaged");
    const std::string path = folder + "/highscore.dat";
    const std::string foreign = "{\"scores\": [1000, 900]}\n";
    file_bytes::write(path, foreign);
    file_bytes::write(path + ".damaged", "an earlier copy");
    data_notice[0] = '\0';
    load_highscore(path.c_str());
    EXPECT_STREQ(data_notice, "") << "nothing is copied until a save would write over it";
    EXPECT_EQ(enter_highscore(path.c_str(), {{'N', 'E', 'W'}, 850, 1}), 0);
    EXPECT_EQ(file_bytes::read(path + ".damaged.2"), foreign);
    EXPECT_EQ(file_bytes::read(path + ".damaged"), "an earlier copy");
    EXPECT_EQ(file_bytes::read(path).substr(0, 13), "N E W 850 1 \n");
    EXPECT_STRNE(data_notice, "");
    EXPECT_TRUE(save_held_highscores(path.c_str()));

    // A copy that cannot be made keeps the file as it is, and the entry for a later save.
    const std::string locked = scratch_dir("hs_damaged_locked");
    const std::string locked_path = locked + "/highscore.dat";
    file_bytes::write(locked_path, foreign);
    chmod(locked.c_str(), 0555);
    if (access(locked.c_str(), W_OK) == 0) {  // root writes anyway
        chmod(locked.c_str(), 0755);
        return;
    }
    EXPECT_EQ(enter_highscore(locked_path.c_str(), {{'N', 'E', 'W'}, 850, 1}), 0);
    EXPECT_EQ(file_bytes::read(locked_path), foreign);
    EXPECT_FALSE(save_held_highscores(locked_path.c_str()));
    chmod(locked.c_str(), 0755);
    EXPECT_TRUE(save_held_highscores(locked_path.c_str()));
    EXPECT_EQ(file_bytes::read(locked_path + ".damaged"), foreign);
}

TEST(HighscoreFile, SaveCreatesTheMissingDataFolder) {
    const std::string data = scratch_dir("hs_new_folder") + "/KZ DATA";
    const std::string path = data + "//highscore.dat";
    fill_game_table();
    save_highscore(path.c_str());
    EXPECT_EQ(file_bytes::read(path), game_file_text());
}

}  // namespace
