// What the world table keeps in "KZ DATA": the board's address and the player key, and the
// queue of rounds waiting to be sent.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "records/highscore_file.h"
#include "support/file_bytes.h"
#include "support/headless.h"
#include "world/board_queue.h"
#include "world/board_settings.h"

using namespace testing_support;

namespace {

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

replay small_replay(unsigned seed) {
    static replay r;
    r = {};
    std::strncpy(r.game_version, "1.0.0", sizeof r.game_version);
    r.seed = seed;
    std::memcpy(r.name, "ABC", 3);
    r.score = 120;
    r.frames = 2;
    r.input_size = 0;
    return r;
}

}  // namespace

TEST(board_settings, turned_on_with_a_key_made_once_and_off_without_losing_it) {
    ASSERT_EQ(chdir(scratch_dir("board_settings").c_str()), 0);
    board_settings s = read_board_settings();
    EXPECT_TRUE(s.url.empty());
    EXPECT_EQ(s.initials, "---");

    std::string why;
    ASSERT_TRUE(set_board("https://board.example.org/", &s, &why)) << why;
    EXPECT_EQ(s.url, "https://board.example.org");  // one form, so queued rounds find their board
    EXPECT_TRUE(is_player_key(s.key));
    const std::string key = s.key;
    EXPECT_EQ(read_board_settings().key, key);

    ASSERT_TRUE(set_board("off", &s, &why));
    EXPECT_TRUE(read_board_settings().url.empty());
    ASSERT_TRUE(set_board("http://127.0.0.1:8640", &s, &why));
    EXPECT_EQ(s.key, key) << "the player key is made once on this machine";
    EXPECT_NE(new_player_key(), key);

    remember_initials("XYZ");
    EXPECT_EQ(read_board_settings().initials, "XYZ");
    EXPECT_EQ(file_bytes::read(board_settings_path),
              "url http://127.0.0.1:8640\nkey " + key + "\ninitials XYZ\n");
}

TEST(board_settings, addresses_it_will_not_use_change_nothing) {
    ASSERT_EQ(chdir(scratch_dir("board_refused").c_str()), 0);
    board_settings s;
    std::string why;
    ASSERT_TRUE(set_board("https://board.example.org", &s, &why));
    const std::string before = file_bytes::read(board_settings_path);
    for (const char* bad : {"http://board.example.org", "ftp://127.0.0.1", "board.example.org",
                            "https://a.example.org/\nkey 00", "https://a b.example.org"}) {
        why.clear();
        EXPECT_FALSE(set_board(bad, &s, &why)) << bad;
        EXPECT_FALSE(why.empty());
    }
    EXPECT_EQ(file_bytes::read(board_settings_path), before);
}

TEST(board_settings, a_file_it_cannot_read_is_kept_beside_the_new_one) {
    ASSERT_EQ(chdir(scratch_dir("board_damaged").c_str()), 0);
    mkdir("KZ DATA", 0755);
    file_bytes::write(board_settings_path, "\x01\x02 not ours");
    EXPECT_TRUE(read_board_settings().url.empty());
    board_settings s;
    std::string why;
    ASSERT_TRUE(set_board("https://board.example.org", &s, &why));
    EXPECT_EQ(file_bytes::read(std::string(board_settings_path) + ".damaged"), "\x01\x02 not ours");
    // Initials typed with the board off are not written: such a player sees no new file.
    ASSERT_TRUE(set_board("off", &s, &why));
    const std::string off = file_bytes::read(board_settings_path);
    remember_initials("QRS");
    EXPECT_EQ(file_bytes::read(board_settings_path), off);
}

TEST(board_queue, rounds_wait_under_their_own_names_and_refusals_are_kept_aside) {
    ASSERT_EQ(chdir(scratch_dir("board_queue").c_str()), 0);
    mkdir("KZ DATA", 0755);
    std::string first, second;
    ASSERT_TRUE(queue_board_round(highscore_path, "http://127.0.0.1:8640", "tk.1", small_replay(7), &first));
    ASSERT_TRUE(queue_board_round(highscore_path, "http://127.0.0.1:8640", "tk.2", small_replay(8), &second));
    EXPECT_NE(first, second);
    for (const std::string& name : names_in("KZ DATA"))
        EXPECT_NE(name.compare(0, 7, "replay-"), 0) << "the replay store would take " << name;

    std::vector<queued_round> waiting = waiting_board_rounds(highscore_path);
    ASSERT_EQ(waiting.size(), 2u);
    for (const queued_round& q : waiting) {
        replay back;
        ASSERT_EQ(read_replay_bytes(q.replay_bytes.data(), q.replay_bytes.size(), back), replay_status::read);
        EXPECT_EQ(back.seed, q.ticket == "tk.1" ? 7u : 8u);
        EXPECT_EQ(q.url, "http://127.0.0.1:8640");
    }

    // A stray file in the queue is neither sent nor removed.
    file_bytes::write(board_queue_folder(highscore_path) + "/round-0000000000000000.sub", "junk");
    ASSERT_EQ(waiting_board_rounds(highscore_path).size(), 2u);

    ASSERT_TRUE(set_board_round_aside(highscore_path, waiting[0], "replay does not verify\n(bad)"));
    waiting = waiting_board_rounds(highscore_path);
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(last_board_refusal(highscore_path), "replay does not verify (bad)");
    remove_board_round(highscore_path, waiting[0].path);
    EXPECT_TRUE(waiting_board_rounds(highscore_path).empty());
    EXPECT_EQ(file_bytes::read(board_queue_folder(highscore_path) + "/round-0000000000000000.sub"), "junk");

    // The world replays' cache keeps its newest files and nothing else is touched there.
    mkdir(world_replay_folder(highscore_path).c_str(), 0755);
    for (int i = 0; i < 5; ++i) {
        const std::string path = world_replay_folder(highscore_path) + "/world-" + std::to_string(i) + ".rpl";
        file_bytes::write(path, "r");
        const timespec when[2] = {{1000 + i, 0}, {1000 + i, 0}};
        utimensat(AT_FDCWD, path.c_str(), when, 0);
    }
    file_bytes::write(world_replay_folder(highscore_path) + "/notes.txt", "mine");
    trim_world_replays(highscore_path, 2);
    std::vector<std::string> left = names_in(world_replay_folder(highscore_path));
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"notes.txt", "world-3.rpl", "world-4.rpl"}));

    // A ticket that is not one line cannot be kept, and is not.
    std::string path;
    EXPECT_FALSE(queue_board_round(highscore_path, "http://127.0.0.1:8640", "two\nlines", small_replay(9), &path));
}
