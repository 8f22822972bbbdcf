// The world's best as the board gives it, read with care: ten rows at most, odd rows
// skipped or cut short; replays fetched only from the board itself.
// Thread: the main thread, but for keep_in_cache, which runs on the replay lane's.
#include "world/world_table.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <memory>

#include "platform/atomic_save.h"
#include "platform/fnv_hash.h"
#include "records/replay_file.h"
#include "world/board_answer.h"
#include "world/board_queue.h"
#include "world/http_lane.h"

using json = nlohmann::json;

namespace {

constexpr size_t replays_kept = 20;

board_settings board;
std::string data_path;
std::unique_ptr<http_lane> table_lanes[2];  // today's and all time's
std::unique_ptr<http_lane> replay_lane;
world_table tables[2];

int download_id = 0;  // the download the player waits for; 0 for none
std::string replay_path;
bool replay_done = false;
std::string replay_why;

int index_of(world_period period) { return period == world_period::day ? 0 : 1; }

std::string local_time_now() {
    char when[16];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(when, sizeof when, "%H:%M", &local);
    return when;
}

world_row row_of(const json& row) {
    world_row w;
    if (row.contains("rank") && row["rank"].is_number_integer()) w.rank = row["rank"].get<int>();
    if (row.contains("name") && row["name"].is_string()) w.name = row["name"].get<std::string>().substr(0, 3);
    if (row.contains("score") && row["score"].is_number_integer()) w.score = row["score"].get<int>();
    if (row.contains("replay") && row["replay"].is_string()) w.replay = row["replay"].get<std::string>();
    // Only the board's own page, whatever the row says: a link the player is shown.
    const std::string prefix = "/api/v1/replays/";
    if (w.replay.size() == prefix.size() + 16 && w.replay.compare(0, prefix.size(), prefix) == 0 &&
        w.replay.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos)
        w.watch = "/watch/" + w.replay.substr(prefix.size());
    return w;
}

void read_table_answer(world_table& t, const http_answer& a) {
    t.asked = false;
    const json body = a.status == 200 ? json::parse(a.body, nullptr, false) : json();
    if (!body.is_object() || !body.contains("rows") || !body["rows"].is_array()) {
        t.unreachable = true;
        t.why = a.status == 200 ? unreadable_answer_words : board_error_words(a);
        return;
    }
    std::vector<world_row> rows;
    for (const json& row : body["rows"]) {
        if (rows.size() == 10) break;
        if (row.is_object()) rows.push_back(row_of(row));
    }
    t.rows = rows;
    t.answered = true;
    t.unreachable = false;
    t.why.clear();
    t.fetched_at = local_time_now();
}

void read_replay_answer(const http_answer& a) {
    if (a.id != download_id) return;  // cancelled, or an earlier one's
    download_id = 0;
    replay_done = true;
    if (a.status == 200 && a.error.empty()) return;  // kept in the cache
    replay_path.clear();
    if (!a.error.empty()) replay_why = a.error;
    else if (a.status == 0) replay_why = std::string("The world table cannot be reached: ") + failure_words(a.failure) + ".";
    else replay_why = "The world table has no such replay.";
}

// On the replay lane's thread: the file is written there.
void keep_in_cache(const std::string& path, const std::string& data_file, http_answer& a) {
    if (a.status != 200) return;
    if (a.body.empty()) {
        a.error = "The world table has no such replay.";
        return;
    }
    if (!save_atomically(path.c_str(), a.body.data(), a.body.size())) a.error = "The replay could not be kept.";
    trim_world_replays(data_file.c_str(), replays_kept);
    a.body.clear();
}

// Only the board's own replays: a row cannot send the game elsewhere. Empty for none.
std::string replay_path_on_board(const std::string& address) {
    std::string path = address;
    if (path.compare(0, board.url.size(), board.url) == 0) {
        path = path.substr(board.url.size());
    } else if (const size_t scheme_end = path.find("://"); scheme_end != std::string::npos) {
        // The board may name itself otherwise (behind a proxy): its path, asked of our board.
        const size_t path_start = path.find('/', scheme_end + 3);
        path = path_start == std::string::npos ? "" : path.substr(path_start);
    }
    if (path.compare(0, 16, "/api/v1/replays/") != 0 || path.size() > 200 ||
        path.find_first_of("?#%") != std::string::npos || path.find("..") != std::string::npos)
        return "";
    return path;
}

}  // namespace

void start_world_table(const board_settings& settings, const char* path) {
    stop_world_table();
    board = settings;
    data_path = path;
    http_limits quick;
    quick.connect_ms = 2000;
    quick.transfer_ms = 2000;
    for (auto& lane : table_lanes) lane.reset(new http_lane(quick));
    replay_lane.reset(new http_lane());
}

void stop_world_table() {
    for (auto& lane : table_lanes) lane.reset();
    replay_lane.reset();
    tables[0] = tables[1] = {};
    download_id = 0;
    replay_done = false;
}

void take_world_answers() {
    if (!replay_lane) return;
    http_answer a;
    for (int i = 0; i < 2; ++i)
        while (table_lanes[i]->take(&a)) read_table_answer(tables[i], a);
    while (replay_lane->take(&a)) read_replay_answer(a);
}

void fetch_world(world_period period) {
    if (!replay_lane) return;
    world_table& t = tables[index_of(period)];
    if (t.asked) return;
    t.asked = true;
    http_request r;
    r.url = board.url + "/api/v1/board?limit=10&period=" + (period == world_period::day ? "day" : "all");
    r.headers.push_back("X-Player-Key: " + board.key);
    table_lanes[index_of(period)]->send(r);
}

const world_table& world_best(world_period period) { return tables[index_of(period)]; }

void download_world_replay(const std::string& address) {
    if (!replay_lane || download_id != 0) return;
    replay_done = false;
    const std::string path = replay_path_on_board(address);
    if (path.empty()) {
        replay_done = true;
        replay_path.clear();
        replay_why = "That replay is not on the world table.";
        return;
    }
    char name[48];
    std::snprintf(name, sizeof name, "/world-%016llx.rpl",
                  static_cast<unsigned long long>(fnv1a(path.data(), path.size())));
    replay_path = world_replay_folder(data_path.c_str()) + name;
    static int downloads = 0;
    download_id = ++downloads;
    http_request r;
    r.id = download_id;
    r.url = board.url + path;
    r.headers.push_back("X-Player-Key: " + board.key);
    r.answer_limit = replay_file_room;
    r.on_arrival = [keep_as = replay_path, data_file = data_path](http_answer& a) {
        keep_in_cache(keep_as, data_file, a);
    };
    replay_lane->send(r);
}

bool world_replay_fetching() { return download_id != 0; }

void cancel_world_replay() {
    download_id = 0;
    replay_done = false;
}

bool world_replay_ready(std::string* path, std::string* why) {
    if (!replay_done) return false;
    replay_done = false;
    *path = replay_path;
    *why = replay_why;
    return true;
}
