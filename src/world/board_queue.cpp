// The queue of board rounds: text lines, a blank line, then the replay file's own bytes.
// Thread: the sender's.
#include "world/board_queue.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/atomic_save.h"
#include "platform/data_file.h"
#include "records/data_folder.h"

namespace {

constexpr char first_line[] = "blockdash board round 1\n";
constexpr size_t header_room = 4096;
constexpr char waiting_suffix[] = ".sub";
constexpr char refused_suffix[] = ".refused";

bool ends_with(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool plain_line(const std::string& s) {
    if (s.empty() || s.size() > 1024) return false;
    for (unsigned char c : s)
        if (c < ' ' || c > '~') return false;
    return true;
}

std::string file_text(const queued_round& q) {
    std::string text = first_line;
    text += "url " + q.url + "\n";
    text += "ticket " + q.ticket + "\n";
    if (!q.reason.empty()) text += "refused " + q.reason + "\n";
    text += "\n";
    text.append(reinterpret_cast<const char*>(q.replay_bytes.data()), q.replay_bytes.size());
    return text;
}

// FNV-1a over the ticket: a name the same round always gets, so a second queueing of it
// replaces the first.
std::string name_for(const std::string& ticket) {
    uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : ticket) h = (h ^ c) * 1099511628211ULL;
    char name[40];
    std::snprintf(name, sizeof name, "round-%016llx", static_cast<unsigned long long>(h));
    return name;
}

std::vector<std::string> names_ending(const std::string& folder, const char* suffix) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, 6, "round-") == 0 && ends_with(name, suffix) && names.size() < 256)
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::string board_queue_folder(const char* data_path) { return folder_of(data_path) + "/board-queue"; }

bool read_queued_round(const std::string& path, queued_round* out) {
    const size_t room = replay_file_room + header_room;
    std::unique_ptr<char[]> bytes(new char[room + 1]);
    size_t size = 0;
    if (read_data_file(path.c_str(), bytes.get(), room, &size).found != file_found::read) return false;
    const std::string all(bytes.get(), size);
    if (all.compare(0, sizeof first_line - 1, first_line) != 0) return false;
    const size_t blank = all.find("\n\n");
    if (blank == std::string::npos || blank > header_room) return false;
    queued_round q;
    q.path = path;
    size_t at = sizeof first_line - 1;
    while (at < blank + 1) {
        const size_t end = all.find('\n', at);
        const std::string line = all.substr(at, end - at);
        if (line.compare(0, 4, "url ") == 0) q.url = line.substr(4);
        else if (line.compare(0, 7, "ticket ") == 0) q.ticket = line.substr(7);
        else if (line.compare(0, 8, "refused ") == 0) q.reason = line.substr(8);
        at = end + 1;
    }
    if (!plain_line(q.url) || !plain_line(q.ticket)) return false;
    q.replay_bytes.assign(all.begin() + static_cast<long>(blank + 2), all.end());
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        q.queued_at_ns = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    *out = std::move(q);
    return true;
}

bool queue_board_round(const char* data_path, const std::string& url, const std::string& ticket,
                       const replay& r, std::string* path) {
    if (!plain_line(url) || !plain_line(ticket) || ticket.find(' ') != std::string::npos) {
        std::fprintf(stderr, "blockdash: the board's ticket cannot be kept; the round is not sent\n");
        return false;
    }
    queued_round q;
    q.url = url;
    q.ticket = ticket;
    q.replay_bytes.resize(replay_file_room);
    q.replay_bytes.resize(write_replay_bytes(r, q.replay_bytes.data()));
    *path = board_queue_folder(data_path) + "/" + name_for(ticket) + waiting_suffix;
    const std::string text = file_text(q);
    data_folder_lock lock(data_path);
    tell_if_unlocked(lock, data_path);
    if (!save_atomically(path->c_str(), text.data(), text.size())) {
        std::fprintf(stderr, "blockdash: could not keep the board round in \"%s\": %s\n", path->c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

std::vector<queued_round> waiting_board_rounds(const char* data_path) {
    const std::string folder = board_queue_folder(data_path);
    std::vector<queued_round> rounds;
    for (const std::string& name : names_ending(folder, waiting_suffix)) {
        queued_round q;
        if (read_queued_round(folder + "/" + name, &q)) rounds.push_back(std::move(q));
    }
    // The names come from a hash, so the order is the files' own: the oldest first.
    std::stable_sort(rounds.begin(), rounds.end(),
                     [](const queued_round& a, const queued_round& b) { return a.queued_at_ns < b.queued_at_ns; });
    return rounds;
}

void remove_board_round(const char* data_path, const std::string& path) {
    data_folder_lock lock(data_path);
    unlink(path.c_str());
}

bool set_board_round_aside(const char* data_path, const queued_round& round, const std::string& reason) {
    queued_round kept = round;
    kept.reason.clear();
    for (char c : reason) kept.reason += (c >= ' ' && c <= '~') ? c : ' ';
    if (kept.reason.size() > 200) kept.reason.resize(200);
    if (kept.reason.empty()) kept.reason = "refused";
    std::string aside = round.path;
    if (ends_with(aside, waiting_suffix)) aside.resize(aside.size() - (sizeof waiting_suffix - 1));
    aside += refused_suffix;
    const std::string text = file_text(kept);
    data_folder_lock lock(data_path);
    if (!save_atomically(aside.c_str(), text.data(), text.size())) return false;
    unlink(round.path.c_str());
    return true;
}

std::string world_replay_folder(const char* data_path) { return folder_of(data_path) + "/world-replays"; }

void trim_world_replays(const char* data_path, size_t keep) {
    const std::string folder = world_replay_folder(data_path);
    std::vector<std::pair<time_t, std::string>> found;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        struct stat info;
        const std::string path = folder + "/" + name;
        if (name.compare(0, 6, "world-") == 0 && ends_with(name, ".rpl") && lstat(path.c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            found.emplace_back(info.st_mtime, path);
    }
    closedir(dir);
    if (found.size() <= keep) return;
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t i = keep; i < found.size(); ++i) unlink(found[i].second.c_str());
}

std::string last_board_refusal(const char* data_path) {
    const std::string folder = board_queue_folder(data_path);
    std::string newest;
    time_t newest_at = 0;
    for (const std::string& name : names_ending(folder, refused_suffix)) {
        struct stat info;
        const std::string path = folder + "/" + name;
        if (stat(path.c_str(), &info) != 0 || info.st_mtime < newest_at) continue;
        queued_round q;
        if (!read_queued_round(path, &q)) continue;
        newest_at = info.st_mtime;
        newest = q.reason;
    }
    return newest;
}
