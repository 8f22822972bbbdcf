// Two lanes to the board: the notices of the round under way on one, so nothing waits in
// front of them, and everything else (tickets, sending, the world's best, replays) on the
// other. Answers are read here on the main thread; the lanes touch no record.
#include "play/board_link.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <memory>

#include "platform/atomic_save.h"
#include "platform/host.h"
#include "platform/http_lane.h"
#include "play/round_events.h"
#include "play/round_state.h"
#include "play/round_tape.h"
#include "records/board_queue.h"
#include "records/highscore_file.h"

using json = nlohmann::json;

namespace {

// What each answer belongs to.
enum request_kind { ask_ticket = 1, notice, send_round, board_day, board_all, replay_download };
constexpr int first_start_id = 1000;  // a round's start notice: this and up

constexpr int tick_frames = 390;
constexpr int seed_wait_ms = 1000;
constexpr int max_pauses = 3;
constexpr int max_paused_ms = 60000;
// Frames may run this much slower than 20 ms before the round is not sent: past it the
// board would find it too slow, and the player deserves to know why first.
constexpr double pace_allowance = 1.04;
constexpr int pace_grace_ms = 500;  // a moment's hitch, not a slow machine
constexpr int first_retry_ms = 5000;
constexpr int last_retry_ms = 5 * 60 * 1000;

board_settings settings;
std::unique_ptr<http_lane> notice_lane;
std::unique_ptr<http_lane> other_lane;

std::string ticket_in_hand;
std::time_t ticket_taken_at = 0;  // a ticket must be started within a day
constexpr std::time_t ticket_kept_s = 23 * 3600;
int ticket_rules = 0;
bool ticket_asked = false;
int next_ticket_ms = 0;  // a board that gave none is asked again after a growing pause
int ticket_retry_ms = 0;

enum class round_kind { none, local, board };

struct round_progress {
    round_kind kind = round_kind::none;
    std::string local_why;  // why the last round was a local one
    std::string ticket;
    int seq = 0;
    int notices_out = 0;
    bool end_sent = false;
    bool notice_lost = false;  // the board missed part of the round: it cannot count
    // The pace is timed from the end of the first frame, whose wipe is not play.
    int pace_from_ms = 0;
    int pace_from_stage = 0;
    int paused_ms = 0;
    int pause_began = -1;
    int pauses = 0;
    bool too_slow = false;
    std::string not_sent_why;
    bool queued = false;
    bool taken_before = false;
    std::string queued_path;
    int rank = 0;
    std::string id;
    std::string refused;
} current;

// A round is being played: the queue waits, so its files are never read during frames.
bool playing = false;

// The sender: one round in flight at a time, pauses growing while the board is away.
bool sending = false;
std::string sending_path;
int next_send_ms = 0;
int retry_ms = first_retry_ms;
bool board_away = false;

world_table tables[2];
std::string replay_path;  // the download under way or done
bool replay_pending = false;
bool replay_done = false;
std::string replay_why;

std::string last_refusal;

std::string base() { return settings.url; }

http_request request_to(int kind, const std::string& path) {
    http_request r;
    r.id = kind;
    r.url = base() + path;
    r.headers.push_back("X-Player-Key: " + settings.key);
    return r;
}

std::string escaped(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string error_of(const http_answer& a) {
    if (a.status == 0) return a.error;
    const json body = json::parse(a.body, nullptr, false);
    if (body.is_object() && body.contains("error") && body["error"].is_string())
        return body["error"].get<std::string>().substr(0, 120);
    return "the board answered " + std::to_string(a.status);
}

void ask_for_ticket() {
    if (ticket_asked || !other_lane || now_ms() < next_ticket_ms) return;
    ticket_asked = true;
    http_request r = request_to(ask_ticket, "/api/v1/tickets");
    r.method = "POST";
    r.headers.push_back("Content-Type: application/json");
    r.body = "{}";
    other_lane->send(r);
}

void take_ticket(const http_answer& a) {
    ticket_asked = false;
    ticket_retry_ms = std::min(std::max(ticket_retry_ms * 2, first_retry_ms), last_retry_ms);
    next_ticket_ms = now_ms() + ticket_retry_ms;
    if (a.status != 201 && a.status != 200) return;
    const json body = json::parse(a.body, nullptr, false);
    if (!body.is_object() || !body.contains("ticket") || !body["ticket"].is_string() || !body.contains("rules") ||
        !body["rules"].is_number_integer())
        return;
    const std::string t = body["ticket"].get<std::string>();
    if (t.empty() || t.size() > 512) return;
    ticket_retry_ms = 0;
    next_ticket_ms = 0;
    ticket_in_hand = t;
    ticket_taken_at = std::time(nullptr);
    ticket_rules = body["rules"].get<int>();
}

void send_notice(const char* event, int frame) {
    if (!notice_lane || current.notice_lost) return;
    http_request r = request_to(notice, "/api/v1/tickets/" + escaped(current.ticket) + "/notices");
    r.method = "POST";
    r.headers.push_back("Content-Type: application/json");
    r.body = json{{"seq", current.seq++}, {"frame", frame}, {"event", event}}.dump();
    r.tries = 4;  // a repeated seq is ignored, so a lost answer is worth a resend
    r.retry_pause_ms = 300;
    r.id = std::string(event) == "end" ? -notice : notice;
    ++current.notices_out;
    notice_lane->send(r);
}

void take_notice_answer(const http_answer& a) {
    if (current.notices_out > 0) --current.notices_out;
    const bool heard = a.status >= 200 && a.status < 300;
    if (heard) return;
    // The board would refuse the round for the gap; the notices after it are not worth sending.
    current.notice_lost = true;
    current.notices_out = std::max(0, current.notices_out - notice_lane->drop_waiting());
    if (current.not_sent_why.empty())
        current.not_sent_why = a.id == -notice ? "Not sent: the world table did not hear the round end."
                                               : "Not sent: the world table did not hear the round as it went.";
    // Queued before the word came: kept aside, never sent to be refused.
    queued_round q;
    if (current.queued && read_queued_round(current.queued_path, &q))
        set_board_round_aside(highscore_path, q, "the board did not hear the whole round");
}

world_table& table_of(int kind) { return tables[kind == board_day ? 0 : 1]; }

void take_world(const http_answer& a) {
    world_table& t = table_of(a.id);
    t.asked = false;
    const json body = a.status == 200 ? json::parse(a.body, nullptr, false) : json();
    if (!body.is_object() || !body.contains("rows") || !body["rows"].is_array()) {
        t.unreachable = true;
        return;
    }
    std::vector<world_row> rows;
    for (const json& row : body["rows"]) {
        if (rows.size() == 10) break;
        if (!row.is_object()) continue;
        world_row w;
        if (row.contains("rank") && row["rank"].is_number_integer()) w.rank = row["rank"].get<int>();
        if (row.contains("name") && row["name"].is_string()) w.name = row["name"].get<std::string>().substr(0, 3);
        if (row.contains("score") && row["score"].is_number_integer()) w.score = row["score"].get<int>();
        if (row.contains("replay") && row["replay"].is_string()) w.replay = row["replay"].get<std::string>();
        rows.push_back(w);
    }
    t.rows = rows;
    t.answered = true;
    t.unreachable = false;
    char when[16];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(when, sizeof when, "%H:%M", &local);
    t.fetched_at = when;
}

void schedule_retry() {
    next_send_ms = now_ms() + retry_ms;
    retry_ms = std::min(retry_ms * 2, last_retry_ms);
}

void take_send_answer(const http_answer& a) {
    sending = false;
    queued_round q;
    const bool still_there = read_queued_round(sending_path, &q);
    if (a.status == 201 || a.status == 200) {
        board_away = false;
        retry_ms = first_retry_ms;
        next_send_ms = 0;
        remove_board_round(highscore_path, sending_path);
        const json body = json::parse(a.body, nullptr, false);
        if (q.ticket == current.ticket && body.is_object()) {
            if (body.contains("rank") && body["rank"].is_number_integer()) current.rank = body["rank"].get<int>();
            if (body.contains("id") && body["id"].is_string()) current.id = body["id"].get<std::string>();
        }
        fetch_world(world_period::day);
        fetch_world(world_period::all);
        return;
    }
    // The ticket was used already: only this game held it, so the board took this round
    // before and its answer was lost (a quit while it was on its way). Nothing to keep.
    if (a.status == 409 && still_there) {
        board_away = false;
        remove_board_round(highscore_path, sending_path);
        if (q.ticket == current.ticket) current.taken_before = true;
        return;
    }
    // A refusal is final; a board away, busy or failing is tried again later.
    const bool final = a.status >= 400 && a.status < 500 && a.status != 408 && a.status != 429;
    if (final && still_there) {
        const std::string why = error_of(a);
        set_board_round_aside(highscore_path, q, why);
        last_refusal = why;
        if (q.ticket == current.ticket) current.refused = why;
        return;
    }
    board_away = a.status == 0 || a.status >= 500;
    schedule_retry();
}

// The queued rounds go one at a time; one whose end notice is still on its way waits.
void send_next_round() {
    if (sending || !other_lane || now_ms() < next_send_ms) return;
    for (queued_round& q : waiting_board_rounds(highscore_path)) {
        if (q.ticket == current.ticket && current.notices_out > 0) continue;
        if (q.url != settings.url) continue;  // a round for another board waits for it
        http_request r;
        r.id = send_round;
        r.method = "POST";
        r.url = q.url + "/api/v1/rounds?ticket=" + escaped(q.ticket);
        r.headers.push_back("X-Player-Key: " + settings.key);
        r.headers.push_back("Content-Type: application/octet-stream");
        r.body.assign(q.replay_bytes.begin(), q.replay_bytes.end());
        sending = true;
        sending_path = q.path;
        other_lane->send(r);
        return;
    }
    next_send_ms = now_ms() + first_retry_ms;  // nothing now: look again in a while
}

void take_replay(const http_answer& a) {
    replay_pending = false;
    replay_done = true;
    if (a.status != 200 || a.body.empty()) {
        replay_path.clear();
        replay_why = a.status == 0 ? "The world table cannot be reached." : "The world table has no such replay.";
        return;
    }
    if (!save_atomically(replay_path.c_str(), a.body.data(), a.body.size())) {
        replay_path.clear();
        replay_why = "The replay could not be kept.";
    }
    trim_world_replays(highscore_path, 20);
}

void take(const http_answer& a) {
    switch (a.id < 0 ? -a.id : a.id) {
        case ask_ticket: take_ticket(a); break;
        case notice: take_notice_answer(a); break;
        case send_round: take_send_answer(a); break;
        case board_day:
        case board_all: take_world(a); break;
        case replay_download: take_replay(a); break;
        default: break;
    }
}

}  // namespace

// ---- start and stop ----

void start_board(const board_settings& s) {
    stop_board();
    // Nothing of an earlier start holds: a fresh ticket, the queue as it is on disk.
    ticket_in_hand.clear();
    ticket_asked = false;
    next_ticket_ms = ticket_retry_ms = 0;
    current = {};
    playing = false;
    sending = false;
    next_send_ms = 0;
    retry_ms = first_retry_ms;
    board_away = false;
    tables[0] = tables[1] = {};
    replay_pending = replay_done = false;
    if (s.url.empty() || s.key.empty()) return;
    settings = s;
    http_limits notices;
    notices.connect_ms = 3000;
    notices.transfer_ms = 4000;
    notice_lane.reset(new http_lane(notices));
    other_lane.reset(new http_lane());
    last_refusal = last_board_refusal(highscore_path);
    static const round_listener to_board = {begin_board_round, board_frame_done, board_round_paused,
                                            board_round_resumed,  board_round_ended, board_pauses_left};
    listen_to_rounds(&to_board);
    ask_for_ticket();
}

void stop_board() {
    listen_to_rounds(nullptr);
    notice_lane.reset();
    other_lane.reset();
}

bool board_on() { return other_lane != nullptr; }
bool board_ticket_in_hand() { return !ticket_in_hand.empty(); }

void board_between_frames() {
    if (!board_on()) return;
    http_answer a;
    while (notice_lane->take(&a)) take(a);
    while (other_lane->take(&a)) take(a);
    if (!ticket_in_hand.empty() && std::time(nullptr) - ticket_taken_at > ticket_kept_s) ticket_in_hand.clear();
    if (ticket_in_hand.empty() && !board_round_running()) ask_for_ticket();
    if (!playing) send_next_round();
}

// ---- the round ----

bool begin_board_round(uint32_t* seed) {
    current = {};
    current.kind = round_kind::local;
    playing = true;
    if (!board_on()) {
        current.kind = round_kind::none;
        return false;
    }
    board_between_frames();
    // The ticket and the seed share one second: a ticket on its way (a round started the
    // moment the game opened) is worth waiting for within it.
    const int deadline = now_ms() + seed_wait_ms;
    while (ticket_in_hand.empty() && ticket_asked && now_ms() < deadline) {
        wait_ms(2);
        http_answer a;
        while (other_lane->take(&a)) take(a);
    }
    if (ticket_in_hand.empty()) {
        current.local_why = "A local round: no ticket from the world table yet.";
        return false;
    }
    if (ticket_rules != replay_rules_version) {
        current.local_why = "A local round: update the game to play for the world table.";
        return false;
    }
    current.ticket = ticket_in_hand;
    ticket_in_hand.clear();  // spent once its start is noted, whatever comes next
    http_request r = request_to(notice, "/api/v1/tickets/" + escaped(current.ticket) + "/notices");
    r.method = "POST";
    r.headers.push_back("Content-Type: application/json");
    r.body = json{{"seq", current.seq++}, {"frame", 0}, {"event", "start"}}.dump();
    // Answered here, not between frames; its own number, so no late answer of an earlier
    // round's notices is taken for it.
    static int starts = 0;
    const int start_id = first_start_id + ++starts % 1000000;
    r.id = start_id;
    notice_lane->send(r);
    http_answer a;
    for (;;) {
        if (notice_lane->take(&a)) {
            if (a.id == start_id) break;
            continue;  // an earlier round's, come late: that round is over
        }
        if (now_ms() >= deadline) {
            current.local_why = "A local round: the world table did not answer in time.";
            return false;
        }
        wait_ms(2);
    }
    const json body = a.status == 200 ? json::parse(a.body, nullptr, false) : json();
    if (!body.is_object() || !body.contains("seed") || !body["seed"].is_number_unsigned() ||
        body["seed"].get<uint64_t>() > UINT32_MAX) {
        current.local_why = "A local round: the world table gave no seed.";
        return false;
    }
    *seed = static_cast<uint32_t>(body["seed"].get<uint64_t>());
    current.kind = round_kind::board;
    current.local_why.clear();
    current.pace_from_ms = now_ms();
    return true;
}

bool board_round_running() { return current.kind == round_kind::board && !current.end_sent; }

// The round's own clock (20 ms a frame, 1.5 s a stage banner) against the time it took,
// pauses left out.
namespace {
int pace_took_ms(int) { return now_ms() - current.pace_from_ms - current.paused_ms; }
int pace_own_ms(int frames) { return (frames - 1) * 20 + (stage - current.pace_from_stage) * 1500; }

void watch_pace(int frames) {
    const int took = pace_took_ms(frames);
    const int own = pace_own_ms(frames);
    if (took > own * pace_allowance + pace_grace_ms && !current.too_slow) {
        current.too_slow = true;
        current.not_sent_why = "Not sent: the game ran over 4% slow (a busy computer?).";
    }
}
}  // namespace

void board_frame_done(int frames) {
    if (!board_round_running()) return;
    if (frames == 1) {
        current.pace_from_ms = now_ms();
        current.pace_from_stage = stage;
        current.paused_ms = 0;
        return;
    }
    if (frames % tick_frames == 0) send_notice("tick", frames);
    watch_pace(frames);
}

void board_round_paused(int frames) {
    if (!board_round_running() || current.pause_began >= 0) return;
    current.pause_began = now_ms();
    ++current.pauses;
    send_notice("pause", frames);
    if (current.pauses > max_pauses && current.not_sent_why.empty())
        current.not_sent_why = "Not sent: the round was paused more than 3 times.";
}

void board_round_resumed(int frames) {
    if (!board_round_running() || current.pause_began < 0) return;
    current.paused_ms += now_ms() - current.pause_began;
    current.pause_began = -1;
    send_notice("resume", frames);
    if (current.paused_ms > max_paused_ms && current.not_sent_why.empty())
        current.not_sent_why = "Not sent: the round was paused over a minute in all.";
}

int board_pauses_left() {
    if (!board_round_running()) return -1;
    return std::max(0, max_pauses - current.pauses);
}

void board_round_ended(int frames) {
    playing = false;
    if (!board_round_running()) return;
    watch_pace(frames - 1);  // the pace up to the last whole frame
    std::fprintf(stderr, "blockdash: world round of %d frames: %.1f s played for %.1f s of its own clock%s\n",
                 frames, pace_took_ms(frames - 1) / 1000.0, pace_own_ms(frames - 1) / 1000.0,
                 current.too_slow ? ", too slow to send" : "");
    send_notice("end", frames);
    current.end_sent = true;
    next_ticket_ms = 0;
    ask_for_ticket();  // the next round's
}

void board_round_dropped() {
    playing = false;
    if (current.kind != round_kind::board) return;
    current = {};
    ask_for_ticket();
}

void send_board_round(const replay& finished, const char name[3]) {
    if (current.kind != round_kind::board || !current.end_sent || current.queued) return;
    if (!current.not_sent_why.empty()) return;
    if (!recorded_round_complete()) {
        current.not_sent_why = "Not sent: the round was too long to record.";
        return;
    }
    static replay named;
    named = finished;
    for (int i = 0; i < 3; ++i) named.name[i] = name[i];
    std::string path;
    if (!queue_board_round(highscore_path, settings.url, current.ticket, named, &path)) {
        current.not_sent_why = "Not sent: the round could not be kept for sending (see stderr).";
        return;
    }
    current.queued = true;
    current.queued_path = path;
    next_send_ms = 0;
    retry_ms = first_retry_ms;
}

std::string board_round_line() {
    if (current.kind == round_kind::local) return current.local_why;
    if (current.kind != round_kind::board) return "";
    if (current.rank > 0) return "WORLD #" + std::to_string(current.rank);
    if (current.taken_before) return "The world table has this round already.";
    if (!current.refused.empty()) return "Refused by the world table: " + current.refused;
    if (!current.not_sent_why.empty()) return current.not_sent_why;
    if (!current.queued) return "";
    if (board_away) return "The world table is away: the round is kept and sent later.";
    return "Sending the round to the world table...";
}

int board_round_rank() { return current.rank; }
std::string board_round_id() { return current.id; }

std::string board_refusal_line() {
    if (last_refusal.empty()) return "";
    return "The world table refused a round: " + last_refusal;
}

// ---- the world's best ----

void fetch_world(world_period period) {
    if (!board_on()) return;
    world_table& t = tables[period == world_period::day ? 0 : 1];
    if (t.asked) return;
    t.asked = true;
    other_lane->send(request_to(period == world_period::day ? board_day : board_all,
                                std::string("/api/v1/board?limit=10&period=") +
                                    (period == world_period::day ? "day" : "all")));
}

const world_table& world_best(world_period period) { return tables[period == world_period::day ? 0 : 1]; }

void download_world_replay(const std::string& address) {
    if (!board_on() || replay_pending) return;
    replay_done = false;
    // Only the board's own replays: a row cannot send the game elsewhere.
    std::string path = address;
    if (path.compare(0, settings.url.size(), settings.url) == 0) {
        path = path.substr(settings.url.size());
    } else if (const size_t scheme_end = path.find("://"); scheme_end != std::string::npos) {
        // The board may name itself otherwise (behind a proxy): its path, asked of our board.
        const size_t path_start = path.find('/', scheme_end + 3);
        path = path_start == std::string::npos ? "" : path.substr(path_start);
    }
    if (path.compare(0, 16, "/api/v1/replays/") != 0 || path.size() > 200 ||
        path.find_first_of("?#%") != std::string::npos || path.find("..") != std::string::npos) {
        replay_done = true;
        replay_path.clear();
        replay_why = "That replay is not on the world table.";
        return;
    }
    uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : path) h = (h ^ c) * 1099511628211ULL;
    char name[48];
    std::snprintf(name, sizeof name, "/world-%016llx.rpl", static_cast<unsigned long long>(h));
    replay_path = world_replay_folder(highscore_path) + name;
    http_request r = request_to(replay_download, path);
    r.answer_limit = replay_file_room;
    replay_pending = true;
    other_lane->send(r);
}

bool world_replay_pending() { return replay_pending; }

bool world_replay_ready(std::string* path, std::string* why) {
    if (!replay_done) return false;
    replay_done = false;
    *path = replay_path;
    *why = replay_why;
    return true;
}
