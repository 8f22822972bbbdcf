// Saving the replays beside the table, the index of whose each one is, and finding each
// row's again.
#include "records/replay_store.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/atomic_save.h"
#include "platform/data_file.h"
#include "records/data_folder.h"

std::string row_replay[highscore_rows];

namespace {

// More files than rows only after kills or copies; beyond this many the rows without an
// index look no further.
constexpr size_t files_looked_at = 64;

constexpr char prefix[] = "replay-";
constexpr size_t prefix_length = sizeof prefix - 1;
constexpr size_t sum_digits = 16;
constexpr char suffix[] = ".rpl";
constexpr size_t name_length = prefix_length + sum_digits + sizeof suffix - 1;

// Ten lines of "10 ABC -2147483648 replay-0123456789abcdef.rpl\n".
constexpr size_t index_room = highscore_rows * (3 + 4 + 12 + name_length + 1);

bool is_replay_name(const char* name) {
    if (std::strlen(name) != name_length || std::strncmp(name, prefix, prefix_length) != 0) return false;
    for (size_t i = prefix_length; i < prefix_length + sum_digits; ++i)
        if (!std::strchr("0123456789abcdef", name[i]) || !name[i]) return false;
    return std::strcmp(name + prefix_length + sum_digits, suffix) == 0;
}

bool is_plain_file(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

const char* base_name(const std::string& path) {
    const size_t slash = path.rfind('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// What a save learnt of the index on disk, and the rows it pushed out since.
enum class index_state { agrees, disagrees, damaged, refused };
index_state index_read = index_state::disagrees;

struct pushed_out {
    std::string path;
    record row;
};
std::vector<pushed_out> pushed;
// The row each file in row_replay was found or saved for, moved along with it.
record replay_row[highscore_rows];
bool replay_lost = false;       // this session
bool last_replay_lost = false;  // the latest save's, which the index's save must not hide

// One line of the index; false when it is not in the one form the game writes.
bool read_index_line(const char*& at, const char* end, int& row, record& r, std::string& file) {
    auto number = [&](long long& v, long long lo, long long hi) {
        const char* start = at;
        const bool negative = at < end && *at == '-';
        if (negative) ++at;
        v = 0;
        while (at < end && *at >= '0' && *at <= '9' && at - start < 12) v = v * 10 + (*at++ - '0');
        const size_t digits = static_cast<size_t>(at - start) - negative;
        if (digits == 0 || (digits > 1 && start[negative] == '0') || (negative && v == 0)) return false;
        v = negative ? -v : v;
        return v >= lo && v <= hi;
    };
    long long position = 0, score = 0;
    if (!number(position, 1, highscore_rows) || end - at < 5 || *at++ != ' ') return false;
    std::memcpy(r.name, at, 3);
    at += 3;
    if (*at++ != ' ' || !number(score, INT32_MIN, INT32_MAX) || at >= end || *at++ != ' ') return false;
    const char* line_end = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
    if (!line_end) return false;
    file.assign(at, static_cast<size_t>(line_end - at));
    at = line_end + 1;
    row = static_cast<int>(position) - 1;
    r.score = static_cast<int32_t>(score);
    return is_replay_name(file.c_str());
}

// The files the index names for the rows of `highscore`, when it agrees with them.
index_state read_index(const std::string& folder, std::string (&files)[highscore_rows]) {
    static char bytes[index_room + 1];
    size_t size = 0;
    const std::string path = folder + "/" + replay_index_name;
    const data_read got = read_data_file(path.c_str(), bytes, sizeof bytes, &size);
    if (got.found == file_found::refused) return index_state::refused;
    if (got.found == file_found::missing) return index_state::disagrees;
    const char* at = bytes;
    const char* end = bytes + size;
    int last_row = -1;
    bool agrees = true;
    while (at < end) {
        int row = 0;
        record r = {};
        std::string file;
        if (size > index_room || !read_index_line(at, end, row, r, file) || row <= last_row)
            return index_state::damaged;
        last_row = row;
        for (const std::string& other : files)
            if (!other.empty() && other == folder + "/" + file) agrees = false;
        if (r.score != highscore[row].score || std::memcmp(r.name, highscore[row].name, 3) != 0) agrees = false;
        files[row] = folder + "/" + file;
    }
    return agrees ? index_state::agrees : index_state::disagrees;
}

struct candidate {
    std::string path;
    char name[3];
    int32_t score;
    int64_t saved_at;
    bool used;
};

// The replays beside the table that can be played, newest first.
std::vector<candidate> readable_replays(const std::string& folder) {
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
        if (read_replay_file(path.c_str(), scratch) != replay_status::read) continue;
        candidate c = {path, {}, scratch.score, scratch.saved_at, false};
        std::memcpy(c.name, scratch.name, 3);
        found.push_back(c);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const candidate& a, const candidate& b) { return a.saved_at > b.saved_at; });
    return found;
}

// Without an index to trust: the newest file with the row's name and score, each once.
void match_by_claims(const std::string& folder) {
    std::vector<candidate> found = readable_replays(folder);
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
}

size_t write_index(char* out) {
    size_t length = 0;
    for (int row = 0; row < highscore_rows; ++row) {
        const record& r = highscore[row];
        // A name with a line feed has no line: its file stays, unnamed, and is never removed.
        if (row_replay[row].empty() || std::memchr(r.name, '\n', 3)) continue;
        length += static_cast<size_t>(std::snprintf(out + length, index_room + 1 - length, "%d ", row + 1));
        std::memcpy(out + length, r.name, 3);
        length += 3;
        length += static_cast<size_t>(
            std::snprintf(out + length, index_room + 1 - length, " %d %s\n", r.score, base_name(row_replay[row])));
    }
    return length;
}

// A file pushed out goes only when it still reads as that row's replay.
void remove_pushed_out(const pushed_out& gone) {
    for (const std::string& kept : row_replay)
        if (kept == gone.path) return;
    if (!is_plain_file(gone.path)) return;
    static replay scratch;
    const replay_status status = read_replay_file(gone.path.c_str(), scratch);
    if (status == replay_status::read && scratch.score == gone.row.score &&
        std::memcmp(scratch.name, gone.row.name, 3) == 0) {
        unlink(gone.path.c_str());
        return;
    }
    if (status == replay_status::other_rules) return;  // another version's own: not ours to judge
    char copy[PATH_MAX];
    if (keep_damaged_copy(gone.path.c_str(), copy, sizeof copy)) unlink(gone.path.c_str());
}

}  // namespace

bool save_replay_file(const char* data_path, const replay& r, std::string* path) {
    static uint8_t bytes[replay_file_room];
    const size_t size = write_replay_bytes(r, bytes);
    uint64_t sum = 0;
    for (size_t i = 0; i < 8; ++i) sum |= static_cast<uint64_t>(bytes[size - 8 + i]) << (8 * i);
    char name[name_length + 1];
    std::snprintf(name, sizeof name, "%s%016llx%s", prefix, static_cast<unsigned long long>(sum), suffix);
    const std::string file = folder_of(data_path) + "/" + name;
    if (!save_atomically(file.c_str(), reinterpret_cast<const char*>(bytes), size)) {
        replay_lost = last_replay_lost = true;
        tell_not_saved(data_file_kind::replays, "The round's replay could not be saved.",
                       "cannot save the replay \"%s\": %s", file.c_str(), refusal_reason(errno));
        return false;
    }
    last_replay_lost = false;
    tell_saved(data_file_kind::replays);
    if (path) *path = file;
    return true;
}

void find_row_replays(const char* data_path) {
    const std::string folder = folder_of(data_path);
    std::string named[highscore_rows];
    index_read = read_index(folder, named);
    pushed.clear();
    for (int row = 0; row < highscore_rows; ++row) replay_row[row] = highscore[row];
    if (index_read != index_state::agrees) {
        match_by_claims(folder);
        return;
    }
    for (int row = 0; row < highscore_rows; ++row)
        row_replay[row] = is_plain_file(named[row]) ? named[row] : std::string();
}

void move_row_replays(int row) {
    if (row < 0 || row >= highscore_rows) return;
    const std::string& last = row_replay[highscore_rows - 1];
    if (!last.empty()) pushed.push_back({last, replay_row[highscore_rows - 1]});
    for (int j = highscore_rows - 2; j >= row; --j) {
        row_replay[j + 1] = row_replay[j];
        replay_row[j + 1] = replay_row[j];
    }
    row_replay[row].clear();
    replay_row[row] = highscore[row];
}

void save_replay_index(const char* data_path) {
    const std::string folder = folder_of(data_path);
    const std::string path = folder + "/" + replay_index_name;
    const bool vouched = index_read == index_state::agrees;
    bool written = false;
    if (index_read == index_state::refused) {
        tell_not_saved(data_file_kind::replays, "The replay index cannot be read; it will not be saved.",
                       "cannot read \"%s\"; it is not written over", path.c_str());
    } else if (index_read != index_state::damaged || keep_damaged_file(data_file_kind::replays, path.c_str())) {
        char bytes[index_room + 1];
        written = save_atomically(path.c_str(), bytes, write_index(bytes));
        if (written) {
            index_read = index_state::agrees;
            if (!last_replay_lost) tell_saved(data_file_kind::replays);
        } else {
            tell_not_saved(data_file_kind::replays, "The replay index could not be saved.",
                           "cannot save \"%s\": %s", path.c_str(), refusal_reason(errno));
        }
    }
    if (vouched && written)
        for (const pushed_out& gone : pushed) remove_pushed_out(gone);
    pushed.clear();
}

void forget_pushed_out_replays() { pushed.clear(); }

bool every_replay_saved() { return !replay_lost; }

bool is_replay_temporary(const char* name) {
    if (is_save_temporary(name, replay_index_name)) return true;
    if (std::strlen(name) <= name_length) return false;
    char file[name_length + 1];
    std::memcpy(file, name, name_length);
    file[name_length] = '\0';
    return is_replay_name(file) && is_save_temporary(name, file);
}
