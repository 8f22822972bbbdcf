// The notices of the round under way go on a lane of their own, so nothing waits in
// front of them. Answers are read here between
// frames; a round that can no longer count says so at once, and quietly.
// Thread: the main thread.
#include "world/board_round.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include "platform/host.h"
#include "play/board_terms.h"
#include "play/input_digest.h"
#include "play/round_events.h"
#include "play/round_input.h"
#include "play/round_state.h"
#include "play/round_tape.h"
#include "world/board_answer.h"
#include "world/board_ticket.h"
#include "world/http_lane.h"
#include "world/pace_watch.h"
#include "world/round_sender.h"
#include "world/world_table.h"

using json = nlohmann::json;

namespace {

constexpr int notice_request = 2;
constexpr int end_notice_request = 3;
constexpr int first_start_id = 1000;  // a round's start notice: this and up
// Tick k's notice is numbered -k, so its answer's value is kept for its tick.
int tick_request(int tick) { return -tick; }
bool is_tick_request(int id) { return id < 0; }
constexpr int seed_wait_ms = 1000;

enum class round_kind { none, local, board };

struct board_round_state {
    round_kind kind = round_kind::none;
    std::string local_why;  // why the last round was a local one
    std::string ticket;
    int seq = 0;
    int notices_out = 0;
    bool end_sent = false;
    bool notice_lost = false;  // the board missed part of the round: it cannot count
    pace_watch pace;
    int pauses = 0;
    bool too_slow = false;
    std::string not_sent_why;
    bool queued = false;
    bool held = false;  // queued before its last notice was answered
    bool taken_before = false;
    sent_round_news taken;  // the board's word on it, once taken
    std::string refused;
    std::unique_ptr<input_digest> digest;  // of the input of every frame played so far
    std::map<int, uint32_t> values;        // the board's answer to each tick, by tick
    int tick_answers = 0;
};

board_settings board;
std::unique_ptr<http_lane> notice_lane;
board_round_state live;
sender_view sender;

http_request notice_request_for(const char* event, int frame, const std::string& digest = "") {
    http_request r = ticketed_post(board.url + "/api/v1/notices", board.key, live.ticket, "application/json");
    json body = {{"seq", live.seq++}, {"frame", frame}, {"event", event}};
    if (!digest.empty()) body["digest"] = digest;
    r.body = body.dump();
    return r;
}

// Ticks and the end commit the input so far by its digest.
void send_notice(const char* event, int frame) {
    if (!notice_lane || live.notice_lost) return;
    const std::string name = event;
    const bool commits = name == "tick" || name == "end";
    http_request r = notice_request_for(event, frame, commits && live.digest ? live.digest->hex() : "");
    r.tries = 4;  // a repeated seq is ignored, so a lost answer is worth a resend
    r.retry_pause_ms = 300;
    r.id = name == "end" ? end_notice_request : notice_request;
    if (name == "tick") r.id = tick_request(frame / frames_between_ticks);
    ++live.notices_out;
    notice_lane->send(r);
}

void note_notice_lost(const http_answer& a) {
    // The board would refuse the round for the gap; the notices after it are not worth sending.
    live.notice_lost = true;
    live.notices_out = std::max(0, live.notices_out - notice_lane->drop_waiting());
    const std::string why = board_error_words(a);
    std::fprintf(stderr, "blockdash: the world table did not hear the round %s (%s); it cannot count\n",
                 a.id == end_notice_request ? "end" : "as it went", why.c_str());
    if (live.not_sent_why.empty())
        live.not_sent_why = std::string("Not sent: the world table did not hear the round ") +
                            (a.id == end_notice_request ? "end" : "as it went") + " (" + why + ").";
    // Queued before the word came: kept aside, never sent to be refused.
    if (live.queued) set_round_aside(live.ticket, "the board did not hear the whole round");
}

// A tick's answer carries the board's value for it, kept until its frame comes.
void take_tick_value(const http_answer& a) {
    const json body = json::parse(a.body, nullptr, false);
    if (body.is_object() && body.contains("value") && body["value"].is_number_unsigned() &&
        body["value"].get<uint64_t>() <= UINT32_MAX)
        live.values[-a.id] = static_cast<uint32_t>(body["value"].get<uint64_t>());
}

void take_notice_answer(const http_answer& a) {
    if (a.id != notice_request && a.id != end_notice_request && !is_tick_request(a.id)) return;  // a late start's
    if (live.notices_out > 0) --live.notices_out;
    if (a.status < 200 || a.status >= 300) note_notice_lost(a);
    else if (is_tick_request(a.id)) take_tick_value(a);
    if (is_tick_request(a.id)) ++live.tick_answers;
    if (live.queued && live.held && live.notices_out == 0 && !live.notice_lost) {
        live.held = false;
        release_round(live.ticket);
    }
}

void take_news(const sent_round_news& n) {
    if (n.outcome == send_outcome::taken) {
        fetch_world(world_period::day);
        fetch_world(world_period::all);
    }
    if (n.ticket != live.ticket || live.kind != round_kind::board) return;
    switch (n.outcome) {
        case send_outcome::taken: live.taken = n; break;
        case send_outcome::taken_before: live.taken_before = true; break;
        case send_outcome::refused: live.refused = n.why; break;
        case send_outcome::not_kept:
            live.not_sent_why = "Not sent: the round could not be kept for sending (see the terminal).";
            break;
        default: break;
    }
}

bool local_round(const std::string& why) {
    live.local_why = why;
    return false;
}

// The start notice, answered here rather than between frames, within the second the
// ticket had; its own number, so no late answer of an earlier round's is taken for it.
bool seed_of_start(int deadline, uint32_t* seed) {
    static int starts = 0;
    http_request r = notice_request_for("start", 0);
    r.id = first_start_id + ++starts % 1000000;
    notice_lane->send(r);
    http_answer a;
    for (;;) {
        if (notice_lane->take(&a)) {
            if (a.id == r.id) break;
            continue;  // an earlier round's, come late: that round is over
        }
        if (now_ms() >= deadline) return local_round("A local round: the world table did not answer in time.");
        wait_ms(2);
    }
    const json body = a.status == 200 ? json::parse(a.body, nullptr, false) : json();
    if (!body.is_object() || !body.contains("seed") || !body["seed"].is_number_unsigned() ||
        body["seed"].get<uint64_t>() > UINT32_MAX)
        return local_round("A local round: the world table gave no seed (" +
                           (a.status == 200 ? std::string(unreadable_answer_words) : board_error_words(a)) + ").");
    *seed = static_cast<uint32_t>(body["seed"].get<uint64_t>());
    return true;
}

}  // namespace

void start_board_rounds(const board_settings& settings) {
    stop_board_rounds();
    live = {};
    sender = {};
    if (settings.url.empty() || settings.key.empty()) return;
    board = settings;
    http_limits quick;
    quick.connect_ms = 3000;
    quick.transfer_ms = 4000;
    notice_lane.reset(new http_lane(quick));
    start_tickets(board);
    static const round_listener to_board = {begin_board_round,   board_frame_done,  board_round_paused,
                                            board_round_resumed, board_round_ended, board_pauses_left,
                                            board_round_quiet_line, board_value_revealed};
    listen_to_rounds(&to_board);
    ask_for_ticket();
}

void stop_board_rounds() {
    listen_to_rounds(nullptr);
    stop_tickets();
    notice_lane.reset();
}

void take_round_answers() {
    if (!notice_lane) return;
    take_ticket_answers();
    http_answer a;
    while (notice_lane->take(&a)) take_notice_answer(a);
    sent_round_news n;
    while (take_sender_news(&n)) take_news(n);
    sender = sender_now();
}

// ---- the round ----

bool begin_board_round(uint32_t* seed) {
    live = {};
    live.kind = round_kind::local;
    sender_round_playing(true);
    if (!notice_lane) {
        live.kind = round_kind::none;
        return false;
    }
    take_round_answers();
    ask_for_ticket();
    // The ticket and the seed share one second: a ticket on its way (a round started the
    // moment the game opened) is worth waiting for within it.
    const int deadline = now_ms() + seed_wait_ms;
    while (!ticket_in_hand() && ticket_on_its_way() && now_ms() < deadline) {
        wait_ms(2);
        take_ticket_answers();
    }
    if (!ticket_in_hand())
        return local_round(ticket_trouble().empty()
                               ? "A local round: no ticket from the world table yet."
                               : "A local round: no ticket from the world table (" + ticket_trouble() + ").");
    if (ticket_rules() != static_cast<int>(replay_rules_version))
        return local_round("A local round: update the game to play for the world table.");
    live.ticket = spend_ticket();
    if (!seed_of_start(deadline, seed)) return false;
    live.kind = round_kind::board;
    live.local_why.clear();
    live.pace.start(now_ms(), stage);
    live.digest.reset(new input_digest);
    return true;
}

bool board_round_running() { return live.kind == round_kind::board && !live.end_sent; }

namespace {

// Once the round runs too slow for the board, it is not sent, and says why.
void watch_pace(int frames) {
    if (live.too_slow || !live.pace.too_slow(frames, stage - live.pace.from_stage, now_ms())) return;
    live.too_slow = true;
    if (live.not_sent_why.empty())
        live.not_sent_why = "Not sent: the game ran slower than the world table allows (a busy computer?).";
}

}  // namespace

void board_frame_done(int frames) {
    if (!board_round_running()) return;
    live.digest->add(round_in);
    if (frames == 1) {
        live.pace.start(now_ms(), stage);
        return;
    }
    if (frames % frames_between_ticks == 0) {
        send_notice("tick", frames);
        live.pace.mark(now_ms(), frames, stage - live.pace.from_stage);
    }
    watch_pace(frames);
}

void board_round_paused(int frames) {
    if (!board_round_running() || live.pace.pause_began_ms >= 0) return;
    live.pace.pause(now_ms(), frames, stage - live.pace.from_stage);
    ++live.pauses;
    send_notice("pause", frames);
    if (live.pauses > pauses_most && live.not_sent_why.empty())
        live.not_sent_why = "Not sent: the round was paused more than 3 times.";
}

void board_round_resumed(int frames) {
    if (!board_round_running() || live.pace.pause_began_ms < 0) return;
    live.pace.resume(now_ms(), frames, stage - live.pace.from_stage);
    send_notice("resume", frames);
    if (live.pace.paused_ms > paused_ms_most && live.not_sent_why.empty())
        live.not_sent_why = "Not sent: the round was paused over a minute in all.";
}

int board_pauses_left() {
    if (!board_round_running()) return -1;
    return std::max(0, pauses_most - live.pauses);
}

void board_round_ended(int frames) {
    sender_round_playing(false);
    if (!board_round_running()) return;
    const int stages = stage - live.pace.from_stage;
    live.digest->add(round_in);  // the last frame's, which has no frame_done of its own
    live.pace.mark(now_ms(), frames - 1, stages);  // the pace up to the last whole frame
    watch_pace(frames - 1);
    std::fprintf(stderr, "blockdash: world round of %d frames: %.1f s played for %.1f s of its own clock%s\n",
                 frames, live.pace.took_ms(now_ms()) / 1000.0, pace_watch::own_ms(frames - 1, stages) / 1000.0,
                 live.too_slow ? ", too slow to send" : "");
    send_notice("end", frames);
    live.end_sent = true;
    ask_for_ticket_now();  // the next round's
}

void board_round_dropped() {
    sender_round_playing(false);
    if (live.kind != round_kind::board) return;
    live = {};
    ask_for_ticket();
}

// A value that has not come by its frame makes the rest of the round a local one: it is
// never waited for, and the round cannot count, so nothing more of it is sent.
bool board_value_revealed(int tick, uint32_t* value) {
    if (!board_round_running()) return false;
    const auto found = live.values.find(tick);
    if (found != live.values.end()) {
        *value = found->second;
        return true;
    }
    std::fprintf(stderr, "blockdash: the world table's value for the tick at frame %d did not come in time\n",
                 tick * frames_between_ticks);
    live.kind = round_kind::local;
    live.local_why = live.not_sent_why.empty() ? "A local round: the world table's answer to a tick did not come in time."
                                               : live.not_sent_why;
    if (notice_lane) live.notices_out = std::max(0, live.notices_out - notice_lane->drop_waiting());
    return false;
}

int board_tick_answers() { return live.tick_answers; }

const char* board_round_quiet_line() {
    if (!board_round_running()) return nullptr;
    if (live.notice_lost) return "board lost";
    if (live.too_slow) return "too slow";
    return nullptr;
}

void send_board_round(const replay& finished, const char name[3]) {
    if (live.kind != round_kind::board || !live.end_sent || live.queued) return;
    if (!live.not_sent_why.empty()) return;
    if (!recorded_round_complete()) {
        live.not_sent_why = "Not sent: the round was too long to record.";
        return;
    }
    std::unique_ptr<replay> named(new replay(finished));
    for (int i = 0; i < 3; ++i) named->name[i] = name[i];
    live.queued = true;
    live.held = live.notices_out > 0;
    queue_round(live.ticket, *named, live.held);
}

// ---- what the player is told ----

std::string board_round_line() {
    if (live.kind == round_kind::local) return live.local_why;
    if (live.kind != round_kind::board) return "";
    if (live.taken.rank > 0 && live.taken.stands) return "WORLD #" + std::to_string(live.taken.rank);
    if (live.taken.outcome == send_outcome::taken && live.taken.best_rank > 0)
        return "On the world table; your best, " + std::to_string(live.taken.best_score) + ", stands at WORLD #" +
               std::to_string(live.taken.best_rank) + ".";
    if (live.taken.outcome == send_outcome::taken) return "On the world table; your best stands higher.";
    if (live.taken_before) return "The world table has this round already.";
    if (!live.refused.empty()) return "Refused by the world table: " + live.refused;
    if (!live.not_sent_why.empty()) return live.not_sent_why;
    if (!live.queued) return "";
    if (sender.away)
        return "The world table is away (" + sender.away_why + "): the round is kept and sent later.";
    return "Sending the round to the world table...";
}

int board_round_rank() { return live.taken.stands ? live.taken.rank : 0; }
std::string board_round_id() { return live.taken.id; }

std::string board_refusal_line() {
    if (sender.last_refusal.empty()) return "";
    return "The world table refused a round: " + sender.last_refusal;
}
