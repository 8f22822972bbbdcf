// The data folder's lock, its tidy-up and the notices about it.
#include "records/data_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/atomic_save.h"
#include "records/display_choice.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"
#include "records/replay_store.h"

char data_notice[81] = "";

namespace {

// Another copy holds the lock for one read and one write; a copy stopped in the middle
// of a save must not freeze this one.
constexpr int lock_deadline_ms = 3000;

std::string folder_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) return ".";
    while (slash > path && slash[-1] == '/') --slash;
    return slash == path ? "/" : std::string(path, static_cast<size_t>(slash - path));
}

const char* name_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

long long monotonic_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

bool lock_within_deadline(int fd) {
    const long long deadline = monotonic_ms() + lock_deadline_ms;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return true;  // no locking here: go on
        if (monotonic_ms() > deadline) return false;
        usleep(5000);
    }
    return true;
}

// `data_path` null: the replays' temporaries.
void remove_temporaries_of(const std::string& folder, const char* data_path) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* e = readdir(dir)) {
        const bool temporary = data_path ? is_save_temporary(e->d_name, name_of(data_path))
                                         : is_replay_temporary(e->d_name);
        if (!temporary) continue;
        const std::string path = folder + "/" + e->d_name;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
    }
    closedir(dir);
}

}  // namespace

data_folder_lock::data_folder_lock(const char* data_path) {
    const std::string lock_path = folder_of(data_path) + "/save.lock";
    fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) fd_ = open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) usable_ = lock_within_deadline(fd_);
}

data_folder_lock::~data_folder_lock() {
    if (fd_ >= 0) close(fd_);  // closing lets the lock go
}

void tell_player(const char* screen_line, const char* format, ...) {
    std::fputs("blockdash: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::snprintf(data_notice, sizeof data_notice, "%s", screen_line);
}

void load_records() {
    const std::string folder = folder_of(highscore_path);
    struct stat info;
    bool tidy = false;
    if (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        data_folder_lock lock(highscore_path);
        // Under the lock no other copy is part way through a save, so these are leftovers.
        tidy = lock.usable();
        if (tidy) {
            remove_temporaries_of(folder, highscore_path);
            remove_temporaries_of(folder, stats_path);
            remove_temporaries_of(folder, display_choice_path);
            remove_temporaries_of(folder, nullptr);
        }
        load_highscore(highscore_path);
        // Replays of rows the table no longer holds go; not beside a file we cannot read.
        match_replays_to_table(highscore_path, tidy && !highscore_file_refused());
    } else {
        load_highscore(highscore_path);
    }
    load_stats(stats_path);
}

bool save_records() {
    const bool stats_kept = save_stats(stats_path);
    const bool entries_kept = save_held_highscores(highscore_path);
    return stats_kept && entries_kept;
}
