// Saving the replays beside the table and finding each row's again.
#include "records/replay_store.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/atomic_save.h"
#include "records/data_folder.h"

std::string row_replay[highscore_rows];

namespace {

// More files than rows only after kills or copies; beyond this many they wait for a later prune.
constexpr size_t files_looked_at = 64;

constexpr char prefix[] = "replay-";
constexpr size_t prefix_length = sizeof prefix - 1;
constexpr size_t sum_digits = 16;
constexpr char suffix[] = ".rpl";
constexpr size_t name_length = prefix_length + sum_digits + sizeof suffix - 1;

bool is_replay_name(const char* name) {
    if (std::strlen(name) != name_length || std::strncmp(name, prefix, prefix_length) != 0) return false;
    for (size_t i = prefix_length; i < prefix_length + sum_digits; ++i)
        if (!std::strchr("0123456789abcdef", name[i]) || !name[i]) return false;
    return std::strcmp(name + prefix_length + sum_digits, suffix) == 0;
}

struct candidate {
    std::string path;
    char name[3];
    int32_t score;
    int64_t saved_at;
    bool used;
};

// The replays beside the table that can be played, newest first.
std::vector<candidate> readable_replays(const std::string& folder, std::vector<std::string>& others) {
    static replay scratch;
    std::vector<candidate> found;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return found;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir))
        if (is_replay_name(e->d_name) && names.size() < files_looked_at) names.push_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        if (read_replay_file(path.c_str(), scratch) != replay_status::read) {
            others.push_back(path);
            continue;
        }
        candidate c = {path, {}, scratch.score, scratch.saved_at, false};
        std::memcpy(c.name, scratch.name, 3);
        found.push_back(c);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const candidate& a, const candidate& b) { return a.saved_at > b.saved_at; });
    return found;
}

void remove_if_plain_file(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
}

}  // namespace

bool save_replay_file(const char* data_path, const replay& r) {
    static uint8_t bytes[replay_file_room];
    const size_t size = write_replay_bytes(r, bytes);
    uint64_t sum = 0;
    for (size_t i = 0; i < 8; ++i) sum |= static_cast<uint64_t>(bytes[size - 8 + i]) << (8 * i);
    char name[name_length + 1];
    std::snprintf(name, sizeof name, "%s%016llx%s", prefix, static_cast<unsigned long long>(sum), suffix);
    const std::string path = folder_of(data_path) + "/" + name;
    return save_atomically(path.c_str(), reinterpret_cast<const char*>(bytes), size);
}

void match_replays_to_table(const char* data_path, bool prune) {
    std::vector<std::string> unplayable;
    std::vector<candidate> found = readable_replays(folder_of(data_path), unplayable);
    for (int row = 0; row < highscore_rows; ++row) {
        row_replay[row].clear();
        for (candidate& c : found) {
            if (c.used || c.score != highscore[row].score || std::memcmp(c.name, highscore[row].name, 3) != 0)
                continue;
            c.used = true;
            row_replay[row] = c.path;
            break;
        }
    }
    if (!prune) return;
    for (const candidate& c : found)
        if (!c.used) remove_if_plain_file(c.path);
    for (const std::string& path : unplayable) remove_if_plain_file(path);
}

bool is_replay_temporary(const char* name) {
    if (std::strlen(name) <= name_length) return false;
    char file[name_length + 1];
    std::memcpy(file, name, name_length);
    file[name_length] = '\0';
    return is_replay_name(file) && is_save_temporary(name, file);
}
