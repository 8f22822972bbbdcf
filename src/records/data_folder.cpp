// The data folder's lock, its tidy-up and the notices about it.
#include "records/data_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/atomic_save.h"
#include "platform/data_file.h"
#include "platform/display_loss.h"
#include "platform/monotonic_clock.h"

char data_notice[81] = "";

namespace {

// Another copy holds the lock for one read and one write; a copy stopped in the middle
// of a save must not freeze this one. Once it has kept the lock past the deadline, the
// saves after that wait only a moment.
constexpr int lock_deadline_ms = 3000;
constexpr int hung_lock_deadline_ms = 200;
bool lock_seen_hung = false;

// What was said on stderr this session, so each trouble is said once.
std::vector<std::string> said;
// The notice line's parts: one line per file not saved, and the last other trouble.
std::string not_saved_line[3];
std::string other_line;


bool lock_within_deadline(int fd) {
    const long long deadline = monotonic_ms() + (lock_seen_hung ? hung_lock_deadline_ms : lock_deadline_ms);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return true;  // no locking here: go on
        if (monotonic_ms() > deadline) {
            lock_seen_hung = true;
            return false;
        }
        usleep(5000);
    }
    lock_seen_hung = false;
    return true;
}

void say_once(const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    for (const std::string& s : said)
        if (s == text) return;
    said.emplace_back(text);
    std::fprintf(stderr, "blockdash: %s\n", text);
}

void show_notice() {
    std::string line = other_line;
    int not_saved = 0;
    for (const std::string& file : not_saved_line)
        if (!file.empty() && not_saved++ == 0) line = file;
    if (not_saved > 1)
        line = not_saved_line[2].empty() ? "Highscores and statistics not saved: see stderr"
                                         : "Some records were not saved: see stderr";
    std::snprintf(data_notice, sizeof data_notice, "%s", line.c_str());
}

void remove_leftovers(const std::string& folder, bool (*is_leftover)(const char* name)) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* e = readdir(dir)) {
        if (!is_leftover(e->d_name)) continue;
        const std::string path = folder + "/" + e->d_name;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
    }
    closedir(dir);
}

}  // namespace

std::string folder_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) return ".";
    while (slash > path && slash[-1] == '/') --slash;
    return slash == path ? "/" : std::string(path, static_cast<size_t>(slash - path));
}

data_folder_lock::data_folder_lock(const char* data_path) {
    begin_writing_records();
    const std::string lock_path = folder_of(data_path) + "/save.lock";
    fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) fd_ = open(lock_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) usable_ = lock_within_deadline(fd_);
}

data_folder_lock::~data_folder_lock() {
    if (fd_ >= 0) close(fd_);  // closing lets the lock go
    end_writing_records();
}

void tell_player(const char* screen_line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    say_once(format, args);
    va_end(args);
    other_line = screen_line;
    show_notice();
}

void tell_not_saved(data_file_kind kind, const char* screen_line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    say_once(format, args);
    va_end(args);
    not_saved_line[static_cast<int>(kind)] = screen_line;
    show_notice();
}

void tell_saved(data_file_kind kind) {
    not_saved_line[static_cast<int>(kind)].clear();
    show_notice();
}

bool keep_damaged_file(data_file_kind kind, const char* path) {
    static std::vector<std::string> kept;
    for (const std::string& p : kept)
        if (p == path) return true;
    static const char* const not_saved[] = {"The highscores could not be saved.",
                                            "The statistics could not be saved.",
                                            "The replays could not be saved."};
    static const char* const copied[] = {"The highscore file was damaged: a copy is kept beside it.",
                                         "The statistics file was damaged: a copy is kept beside it.",
                                         "The replay index was damaged: a copy is kept beside it."};
    const int k = static_cast<int>(kind);
    char copy[PATH_MAX];
    if (!keep_damaged_copy(path, copy, sizeof copy)) {
        tell_not_saved(kind, not_saved[k], "\"%s\" is damaged and no copy of it could be kept (%s); it is not written over",
                       path, std::strerror(errno));
        return false;
    }
    kept.emplace_back(path);
    tell_player(copied[k], "\"%s\" could not be read to its end; it is kept as \"%s\" before the save", path, copy);
    return true;
}

void tell_if_unlocked(const data_folder_lock& lock, const char* path) {
    if (lock.usable()) return;
    tell_player("Another copy of the game may hold the data folder: saved without its lock.",
                "another copy of the game may be holding \"%s/save.lock\"; saving without it",
                folder_of(path).c_str());
}

bool remove_save_temporaries(const char* data_path, bool (*is_leftover)(const char* name)) {
    const std::string folder = folder_of(data_path);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    data_folder_lock lock(data_path);
    // Under the lock no other copy is part way through a save, so these are leftovers.
    if (!lock.usable()) return false;
    remove_leftovers(folder, is_leftover);
    return true;
}
