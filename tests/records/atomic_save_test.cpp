// Saves that fail part way must leave the previous file whole and no temporary behind.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "support/file_bytes.h"
#include "platform/atomic_save.h"
#include "platform/display_loss.h"
#include "records/all_records.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/highscore_table.h"
#include "records/lifetime_stats.h"
#include "support/headless.h"

namespace {

using testing_support::scratch_dir;

std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// A disk that fills up half way through the bytes.
size_t write_half_then_full(const void* data, size_t size, size_t count, FILE* file) {
    const size_t half = std::fwrite(data, size, count / 2, file);
    errno = ENOSPC;
    return half;
}
int flush_fails(FILE*) {
    errno = EIO;
    return EOF;
}
int sync_fails(int) {
    errno = EIO;
    return -1;
}
int close_fails(FILE* file) {
    std::fclose(file);
    errno = EIO;
    return EOF;
}
int rename_fails(const char*, const char*) {
    errno = EXDEV;
    return -1;
}
size_t write_half_then_die(const void* data, size_t size, size_t count, FILE* file) {
    std::fwrite(data, size, count / 2, file);
    std::fflush(file);
    raise(SIGKILL);
    return 0;
}

// The display lost while the main thread is part way through a save: another thread sees
// it first. It must leave the records alone; the main thread saves again when it is done.
std::string loss_stats_path;
int loss_saves = 0;
int loss_end_status = -1;
bool save_on_loss() {
    ++loss_saves;
    return save_stats(loss_stats_path.c_str());
}
void end_on_loss(int status) { loss_end_status = status; }

size_t write_while_the_display_goes(const void* data, size_t size, size_t count, FILE* file) {
    if (!display_lost()) {
        std::thread([] { note_display_lost(); }).detach();  // it stops there for good
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!display_lost() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    }
    return std::fwrite(data, size, count, file);
}

class AtomicSave : public testing::Test {
protected:
    void TearDown() override { use_real_save_calls(); }
};

TEST_F(AtomicSave, AFailureAtAnyStepKeepsTheOldFileAndRemovesTheTemporary) {
    struct failure {
        const char* what;
        save_calls calls;
    };
    use_real_save_calls();
    const save_calls real = save_io;
    const failure failures[] = {
        {"full disk", {write_half_then_full, real.flush, real.sync, real.close, real.rename}},
        {"flush", {real.write, flush_fails, real.sync, real.close, real.rename}},
        {"fsync", {real.write, real.flush, sync_fails, real.close, real.rename}},
        {"close", {real.write, real.flush, real.sync, close_fails, real.rename}},
        {"rename", {real.write, real.flush, real.sync, real.close, rename_fails}},
    };
    const std::string folder = scratch_dir("atomic_failures");
    const std::string path = folder + "/highscore.dat";
    const std::string old_bytes = "O L D 5 1 \n";
    for (const failure& f : failures) {
        file_bytes::write(path, old_bytes);
        save_io = f.calls;
        EXPECT_FALSE(save_atomically(path.c_str(), "N E W 6 1 \n", 11)) << f.what;
        EXPECT_EQ(file_bytes::read(path), old_bytes) << f.what;
        EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"highscore.dat"}) << f.what;
    }
    use_real_save_calls();
    EXPECT_TRUE(save_atomically(path.c_str(), "N E W 6 1 \n", 11));
    EXPECT_EQ(file_bytes::read(path), "N E W 6 1 \n");
    EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"highscore.dat"});
}

TEST_F(AtomicSave, KilledHalfWayThroughASaveLeavesTheOldTableWhole) {
    const std::string path = scratch_dir("atomic_killed") + "/highscore.dat";
    for (auto& row : highscore) row = {{'O', 'L', 'D'}, 500, 1};
    save_highscore(path.c_str());
    const std::string old_bytes = file_bytes::read(path);

    for (auto& row : highscore) row = {{'N', 'E', 'W'}, 900, 1};
    EXPECT_EXIT(
        {
            save_io.write = write_half_then_die;
            save_highscore(path.c_str());
        },
        testing::KilledBySignal(SIGKILL), "");
    EXPECT_EQ(file_bytes::read(path), old_bytes);

    for (auto& row : highscore) row = {};
    load_highscore(path.c_str());
    EXPECT_EQ(highscore[9].score, 500);
}

TEST_F(AtomicSave, TheStatisticsFileIsSavedTheSameWay) {
    const std::string folder = scratch_dir("atomic_stats");
    const std::string path = folder + "/stats.dat";
    file_bytes::write(path, "1 2 3 4\n5 6 7");
    t_blocks_cut = 999;
    save_io.sync = sync_fails;
    data_notice[0] = '\0';
    EXPECT_FALSE(save_stats(path.c_str()));
    EXPECT_STRNE(data_notice, "") << "a failed save is told";
    EXPECT_EQ(file_bytes::read(path), "1 2 3 4\n5 6 7");
    EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"save.lock", "stats.dat"}));
}

TEST_F(AtomicSave, ADisplayLostDuringASaveLeavesOneWholeFileSavedByTheMainThread) {
    const std::string folder = scratch_dir("atomic_display_lost");
    loss_stats_path = folder + "/stats.dat";
    end_in_order_on_display_loss(save_on_loss, end_on_loss);
    use_figures({10, 1, 3, 40, {5, 0, 0}});
    save_io.write = write_while_the_display_goes;
    EXPECT_TRUE(save_stats(loss_stats_path.c_str()));
    ASSERT_TRUE(display_lost());
    EXPECT_EQ(loss_saves, 0) << "the thread that saw the loss saved";
    EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"save.lock", "stats.dat"}));

    use_real_save_calls();
    t_games = 2;  // a round finished after the save, before the main thread looked
    finish_if_display_lost();
    EXPECT_EQ(loss_saves, 1);
    EXPECT_EQ(loss_end_status, 3);
    EXPECT_EQ(file_bytes::read(loss_stats_path), "10 2 3 40\n0 0 5");
    EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"save.lock", "stats.dat"}));
}

TEST_F(AtomicSave, ANewFileGetsTheUsualModeAndAReplacedOneKeepsItsOwn) {
    const std::string folder = scratch_dir("atomic_mode");
    const std::string path = folder + "/stats.dat";
    const mode_t mask = umask(022);
    ASSERT_TRUE(save_atomically(path.c_str(), "x", 1));
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    chmod(path.c_str(), 0600);
    ASSERT_TRUE(save_atomically(path.c_str(), "y", 1));
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Never world-writable, even under an open umask.
    umask(0);
    const std::string fresh = folder + "/highscore.dat";
    ASSERT_TRUE(save_atomically(fresh.c_str(), "x", 1));
    ASSERT_EQ(stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    umask(mask);
}

TEST_F(AtomicSave, ALinkIsSavedThroughAndALinkToADeviceIsNeverReplaced) {
    const std::string folder = scratch_dir("atomic_links");
    const std::string target = folder + "/kept.dat";
    const std::string link = folder + "/stats.dat";
    file_bytes::write(target, "old");
    chmod(target.c_str(), 0640);
    ASSERT_EQ(symlink("kept.dat", link.c_str()), 0);
    ASSERT_TRUE(save_atomically(link.c_str(), "new", 3));
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(file_bytes::read(target), "new");
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    const std::string device = folder + "/highscore.dat";
    ASSERT_EQ(symlink("/dev/null", device.c_str()), 0);
    errno = EIO;
    EXPECT_FALSE(save_atomically(device.c_str(), "new", 3));
    EXPECT_EQ(errno, 0);  // "not a regular file"
    ASSERT_EQ(lstat(device.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

// What a kill part way through a save leaves is taken away by the next start.
TEST_F(AtomicSave, TemporariesOfEarlierRunsGoAtStartUp) {
    const std::string run = scratch_dir("atomic_leftovers");
    ASSERT_EQ(chdir(run.c_str()), 0);
    mkdir("KZ DATA", 0755);
    for (const char* name : {"highscore.dat.Ab12Cd", "stats.dat.x1Y2z3", "stats.dat.toolong7", "notes.txt"})
        file_bytes::write(std::string("KZ DATA/") + name, "x");
    load_records();
    EXPECT_EQ(folder_entries("KZ DATA"),
              (std::vector<std::string>{"notes.txt", "save.lock", "stats.dat.toolong7"}));
}

}  // namespace
