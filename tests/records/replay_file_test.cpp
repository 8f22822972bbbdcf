// Replay files: the input stream gives back every frame, the header is checked, and the
// files beside the table follow their rows.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "platform/atomic_save.h"
#include "platform/fnv_hash.h"
#include "records/all_records.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/replay_store.h"
#include "support/headless.h"

namespace {

using testing_support::scratch_dir;

replay& blank_replay(const char* name, int32_t score, int64_t saved_at) {
    static replay r;
    r = replay{};
    std::memcpy(r.name, name, 3);
    r.score = score;
    r.frames = 1;
    r.saved_at = saved_at;
    return r;
}

std::vector<std::string> replay_files(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* e = dir ? readdir(dir) : nullptr)
        if (std::string(e->d_name).rfind("replay-", 0) == 0) names.push_back(e->d_name);
    if (dir) closedir(dir);
    return names;
}

TEST(ReplayFile, TheInputStreamGivesBackEveryFrame) {
    static replay r;
    std::mt19937 rng(3);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<round_input> frames;
    round_input in;
    while (frames.size() < 20000) {
        switch (pick(0, 5)) {
            case 0: in.x = pick(0, 639), in.y = pick(0, 479); break;  // a jump
            case 1: in.left = !in.left, in.any_button = in.left || pick(0, 1); break;
            case 2: in.pause_closed = !in.pause_closed; break;
            case 3: for (int i = pick(1, 300); i > 0; --i) frames.push_back(in); break;  // idle
            default: in.x = std::clamp(in.x + pick(-70, 70), 0, 639), in.y = std::clamp(in.y + pick(-130, 130), 0, 479);
        }
        frames.push_back(in);
    }
    replay_input_writer writer(r);
    for (const round_input& f : frames) ASSERT_TRUE(writer.add(f));
    replay_input_reader reader(r);
    for (size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(reader.next(), frames[i]) << "frame " << i;
    EXPECT_EQ(reader.next(), frames.back()) << "past the end the last input stays";
    EXPECT_FALSE(reader.damaged());
}

TEST(ReplayFile, ARoundTooLongForTheRoomIsRefusedNotCut) {
    static replay r;
    replay_input_writer writer(r);
    round_input in;
    int frames = 0;
    while (writer.add(in)) {
        in.x = in.x == 0 ? 639 : 0;  // the longest records
        ++frames;
    }
    EXPECT_LE(r.input_size, replay_input_room);
    EXPECT_LT(frames, replay_frame_limit);
}

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// A file made on purpose, its checksum made right again after the change.
void reseal(std::vector<uint8_t>& bytes) {
    const uint64_t h = fnv1a(bytes.data(), bytes.size() - 8);
    for (int i = 0; i < 8; ++i) bytes[bytes.size() - 8 + static_cast<size_t>(i)] = static_cast<uint8_t>(h >> (8 * i));
}

TEST(ReplayFile, AnotherRulesVersionAndOutlandishFieldsAreRefused) {
    std::vector<uint8_t> bytes(replay_file_room);
    bytes.resize(write_replay_bytes(blank_replay("ABC", 10, 0), bytes.data()));
    static replay r;
    ASSERT_EQ(read_replay_bytes(bytes.data(), bytes.size(), r), replay_status::read);
    bytes[6] = static_cast<uint8_t>(replay_rules_version + 1);
    reseal(bytes);
    EXPECT_EQ(read_replay_bytes(bytes.data(), bytes.size(), r), replay_status::other_rules);
    bytes[6] = static_cast<uint8_t>(replay_rules_version);
    bytes[59] = 0x7f;  // the spawn count taken over, near the int's top: it would overflow
    reseal(bytes);
    EXPECT_EQ(read_replay_bytes(bytes.data(), bytes.size(), r), replay_status::damaged);
    bytes[59] = 0;
    bytes[44] = 0;  // no frames
    reseal(bytes);
    EXPECT_EQ(read_replay_bytes(bytes.data(), bytes.size(), r), replay_status::damaged);
}

// Each way to write the same round's bytes differently, written back through the writer's
// own encoding after the change, so only the one under test is off.
TEST(ReplayFile, OneRoundHasOneFileAndOneChecksum) {
    static replay r;
    r = blank_replay("ABC", 10, 0);
    std::strcpy(r.game_version, "1.0");
    replay_input_writer writer(r);
    round_input in;
    const int frames = 10;
    for (int f = 0; f < frames; ++f) {
        if (f == 0) in.x += 5;                       // a short record
        if (f == 6) in.left = in.any_button = true;  // a long one after a gap
        writer.add(in);
    }
    r.frames = frames;
    const replay good = r;
    std::vector<uint8_t> bytes(replay_file_room);
    auto reads = [&](const replay& changed) {
        bytes.resize(replay_file_room);
        bytes.resize(write_replay_bytes(changed, bytes.data()));
        static replay back;
        return read_replay_bytes(bytes.data(), bytes.size(), back);
    };
    ASSERT_EQ(reads(good), replay_status::read);
    ASSERT_EQ(good.input_size, 4u) << "a short record, then a long one with its gap";

    r = good;
    r.input[r.input_size++] = 0, r.input[r.input_size++] = 0;
    EXPECT_EQ(reads(r), replay_status::damaged) << "padding that repeats the last input";

    r = good;
    r.input[r.input_size++] = 0x80 | 0x40 | 0x20;  // the same buttons again on frame 7
    EXPECT_EQ(reads(r), replay_status::damaged) << "a repeated record";

    r = good;
    const uint8_t long_move[] = {0x80 | 0x04, 10, 0, good.input[2], good.input[3]};
    std::memcpy(r.input, long_move, sizeof long_move), r.input_size = sizeof long_move;
    EXPECT_EQ(reads(r), replay_status::damaged) << "a long record where a short one fits";

    r = good;
    r.input[3] = 0x80 | good.input[3], r.input[4] = 0x00, r.input_size = 5;
    EXPECT_EQ(reads(r), replay_status::damaged) << "a number longer than it needs";

    r = good;
    r.frames = 6;
    EXPECT_EQ(reads(r), replay_status::damaged) << "a record beyond the last frame";

    r = good;
    r.game_version[5] = 'x';
    EXPECT_EQ(reads(r), replay_status::damaged) << "bytes after the version string's end";
}

// A board round's values follow the input, in the second form; a round without any keeps
// the first form byte for byte, and either form is read only as it is written.
TEST(ReplayFile, ABoardRoundsValuesTravelInTheSecondFormOnly) {
    static replay r, back;
    r = blank_replay("VAL", 10, 0);
    std::vector<uint8_t> bytes(replay_file_room);
    const size_t local_size = write_replay_bytes(r, bytes.data());
    EXPECT_EQ(bytes[4], 1) << "no values: the first form";
    r.value_count = 3;
    r.values[0] = 0, r.values[1] = 0xdeadbeef, r.values[2] = 7;
    bytes.resize(write_replay_bytes(r, bytes.data()));
    ASSERT_EQ(bytes.size(), local_size + 4 + 3 * 4);
    EXPECT_EQ(bytes[4], 2);
    ASSERT_EQ(read_replay_bytes(bytes.data(), bytes.size(), back), replay_status::read);
    ASSERT_EQ(back.value_count, 3u);
    EXPECT_EQ(back.values[1], 0xdeadbeefu);
    EXPECT_EQ(back.values[2], 7u);
    const std::vector<uint8_t> good = bytes;

    auto refused = [&](const char* why, auto change) {
        bytes = good;
        change();
        reseal(bytes);
        EXPECT_EQ(read_replay_bytes(bytes.data(), bytes.size(), back), replay_status::damaged) << why;
    };
    const size_t count_at = replay_header_size + r.input_size;
    refused("a count beyond the values", [&] { bytes[count_at] = 4; });
    refused("a count short of them", [&] { bytes[count_at] = 2; });
    refused("the second form with no values", [&] {
        bytes.resize(count_at + 4 + 8);
        bytes[count_at] = 0;
    });
    refused("values after a first-form file", [&] { bytes[4] = 1; });
    refused("a count over the room", [&] { bytes[count_at + 3] = 0x80; });
    bytes = good;
    bytes[count_at + 8] ^= 1;  // a value changed, the checksum not made good
    EXPECT_EQ(read_replay_bytes(bytes.data(), bytes.size(), back), replay_status::damaged);
    bytes = good;
    bytes[4] = 3;
    reseal(bytes);
    EXPECT_EQ(read_replay_bytes(bytes.data(), bytes.size(), back), replay_status::other_rules) << "a form to come";
}

class ReplayStore : public ::testing::Test {
protected:
    void SetUp() override {
        folder = scratch_dir(std::string("replays_") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        path = folder + "/highscore.dat";
    }
    // Rows "AAA".."JJJ", 1000 down to 100, on disk and in memory.
    void game_table() {
        std::string text;
        for (int i = 0; i < 10; ++i) {
            const std::string c(1, static_cast<char>('A' + i));
            text += c + " " + c + " " + c + " " + std::to_string(1000 - 100 * i) + " 1 \n";
        }
        file_bytes::write(path, text);
        load_highscore(path.c_str());
        find_row_replays(path.c_str());
    }
    std::string folder, path;
};

TEST_F(ReplayStore, AnEntryKeepsItsReplayUntilItsRowIsPushedOut) {
    game_table();
    const int row = enter_highscore(path.c_str(), {{'N', 'E', 'W'}, 850, 1}, &blank_replay("NEW", 850, 1));
    ASSERT_EQ(row, 2);
    ASSERT_EQ(replay_files(folder).size(), 1u);
    EXPECT_EQ(row_replay[2], folder + "/" + replay_files(folder)[0]);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(row_replay[i].empty(), i != 2) << "typed rows have none: row " << i;
    char expected[highscore_text_room];
    EXPECT_EQ(file_bytes::read(path), std::string(expected, write_highscore_text(expected)))
        << "the table's file is as it always was";
    EXPECT_EQ(file_bytes::read(folder + "/replays.dat"), "3 NEW 850 " + replay_files(folder)[0] + "\n");

    for (int i = 0; i < 7; ++i) enter_highscore(path.c_str(), {{'T', 'O', 'P'}, 5000, 1});
    ASSERT_EQ(std::string(highscore[9].name, 3), "NEW");
    EXPECT_EQ(row_replay[9], folder + "/" + replay_files(folder)[0]) << "it moved down with its row";
    enter_highscore(path.c_str(), {{'T', 'O', 'P'}, 5000, 1});
    EXPECT_TRUE(replay_files(folder).empty());
    for (const std::string& file : row_replay) EXPECT_TRUE(file.empty());
}

// What a shared data folder gathers: a friend's replay, one of another rules version, a
// damaged one and a later-dated copy of a row's own. Starts touch none of them, no copy
// takes a row, and pushing the rows out removes only the rows' own files.
TEST_F(ReplayStore, OnlyTheFilesTheIndexNamedForRowsPushedOutAreRemoved) {
    ASSERT_EQ(chdir(folder.c_str()), 0);
    ASSERT_EQ(mkdir("KZ DATA", 0755), 0);
    folder += "/KZ DATA";
    path = folder + "/highscore.dat";
    game_table();
    enter_highscore(path.c_str(), {{'S', 'A', 'M'}, 700, 1}, &blank_replay("SAM", 700, 100));
    enter_highscore(path.c_str(), {{'S', 'A', 'M'}, 700, 1}, &blank_replay("SAM", 700, 200));
    ASSERT_EQ(std::string(highscore[3].name, 3), "SAM");
    ASSERT_EQ(std::string(highscore[4].name, 3), "SAM");
    static replay upper;
    ASSERT_EQ(read_replay_file(row_replay[3].c_str(), upper), replay_status::read);
    EXPECT_EQ(upper.saved_at, 200) << "the newer entry went above the older";
    const std::string own[2] = {row_replay[3], row_replay[4]};
    const std::string own_bytes = file_bytes::read(own[1]);

    save_replay_file(path.c_str(), blank_replay("FRI", 123, 5));
    save_replay_file(path.c_str(), blank_replay("SAM", 700, 999));  // would be the newest SAM
    std::string other_rules = file_bytes::read(own[0]);
    other_rules[6] = static_cast<char>(replay_rules_version + 1);
    std::vector<uint8_t> bytes(other_rules.begin(), other_rules.end());
    reseal(bytes);
    file_bytes::write(folder + "/replay-00000000000000fe.rpl", std::string(bytes.begin(), bytes.end()));
    file_bytes::write(folder + "/replay-00000000000000ff.rpl", "not a replay");
    file_bytes::write(folder + "/replay-0123456789abcdef.rpl.Ab12Cd", "half");  // a killed save's
    const size_t all = replay_files(folder).size() - 1;
    ASSERT_EQ(all, 6u);

    for (int start = 0; start < 2; ++start) {
        load_records();
        EXPECT_EQ(replay_files(folder).size(), all) << "start " << start << " removed a replay";
        EXPECT_EQ(base_name(row_replay[3]), base_name(own[0]));
        EXPECT_EQ(base_name(row_replay[4]), base_name(own[1])) << "the later-dated copy took the row";
    }
    EXPECT_EQ(file_bytes::read(own[1]), own_bytes);

    for (int i = 0; i < 7; ++i) enter_highscore(path.c_str(), {{'T', 'O', 'P'}, 5000, 1});
    EXPECT_EQ(replay_files(folder).size(), all - 2);
    for (const std::string& file : own) EXPECT_NE(access(file.c_str(), F_OK), 0) << file;
}

// An older game that knows no index edited the table: the pass that finds them at odds
// pushes a row out and removes nothing.
TEST_F(ReplayStore, ATableAtOddsWithTheIndexLosesNoFile) {
    game_table();
    enter_highscore(path.c_str(), {{'N', 'E', 'W'}, 850, 1}, &blank_replay("NEW", 850, 1));
    std::string text;
    for (int i = 0; i < 9; ++i) text += "O L D 2000 1 \n";
    file_bytes::write(path, text + "N E W 850 1 \n");
    enter_highscore(path.c_str(), {{'T', 'O', 'P'}, 5000, 1});
    ASSERT_NE(std::string(highscore[9].name, 3), "NEW");
    EXPECT_EQ(replay_files(folder).size(), 1u);
}

int rename_all_but_replays(const char* from, const char* to) {
    const std::string target = to;
    if (target.size() > 4 && target.compare(target.size() - 4, 4, ".rpl") == 0) {
        errno = ENOSPC;
        return -1;
    }
    return rename(from, to);
}

// The row goes in without its replay, and the player is told, as for the table.
TEST_F(ReplayStore, AReplayThatCannotBeSavedIsSaidAndTheRowStillGoesIn) {
    game_table();
    data_notice[0] = '\0';
    save_io.rename = rename_all_but_replays;
    const int row = enter_highscore(path.c_str(), {{'N', 'E', 'W'}, 850, 1}, &blank_replay("NEW", 850, 1));
    use_real_save_calls();
    EXPECT_EQ(row, 2);
    EXPECT_TRUE(row_replay[2].empty());
    EXPECT_STREQ(data_notice, "The round's replay could not be saved.");
    EXPECT_FALSE(every_replay_saved()) << "shut-down does not say all is saved";
    EXPECT_EQ(file_bytes::read(folder + "/replays.dat"), "");
}

TEST_F(ReplayStore, NoReplayIsSavedBesideATableThatCannotBeRead) {
    ASSERT_EQ(symlink("/dev/null", path.c_str()), 0);
    load_highscore(path.c_str());
    enter_highscore(path.c_str(), {{'N', 'E', 'W'}, 850, 1}, &blank_replay("NEW", 850, 1));
    EXPECT_TRUE(replay_files(folder).empty());
    load_highscore((folder + "/other.dat").c_str());  // a later start with a missing file
}

}  // namespace
