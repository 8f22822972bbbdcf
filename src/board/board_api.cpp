// The JSON API. Each handler checks the cheap things first (limits, the player key, the
// ticket's signature), then the stored state, and replays a round only once everything
// else holds, so a flood of bad rounds costs little.
// The handlers run on the HTTP server's worker threads, many at once, each given a request
// the IO thread has read whole: they share the store (its own lock), the request limits
// (theirs) and the read-only secret and options, and hand replays to the verifier thread.
// Each worker reads a round into a replay of its own.
#include "board/board_api.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "board/board_page.h"
#include "board/round_draws.h"
#include "board/round_verifier.h"
#include "board/timing_rule.h"
#include "records/replay_file.h"

namespace {

using nlohmann::json;

void answer_json(http_response_out& res, int status, const json& body) {
    res.status = status;
    res.body = body.dump();
    res.content_type = "application/json";
}

void answer_error(http_response_out& res, int status, const std::string& reason) { answer_json(res, status, {{"error", reason}}); }

// The board's last word on a round: the game drops it rather than send it again.
void answer_final(http_response_out& res, int status, const std::string& reason) {
    answer_json(res, status, {{"error", reason}, {"final", true}});
}

// Worth another try a little later.
void answer_busy(http_response_out& res, const std::string& reason) {
    answer_error(res, 503, reason);
    res.set_header("Retry-After", "5");
}

// Runs a handler; a database that fails is a 503, a fault of ours a 500 (both logged), never
// a crash or a false answer.
template <typename Handler>
http_handler failures_answered(Handler h) {
    return [h](const http_request_in& req, http_response_out& res) {
        try {
            h(req, res);
        } catch (const sql_error& e) {
            std::fprintf(stderr, "blockdash-board: %s %s: %s\n", req.method.c_str(), req.path.c_str(), e.what());
            res.headers.clear();
            answer_busy(res, "the board's storage is unavailable; try again later");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "blockdash-board: %s %s: fault: %s\n", req.method.c_str(), req.path.c_str(), e.what());
            res.headers.clear();
            answer_error(res, 500, "the board failed; this is its fault, not the request's");
        }
    };
}

// The checks every request of a player starts with. False once `res` holds the refusal.
bool admit(board_context& board, const http_request_in& req, http_response_out& res, limited kind,
           std::string& player) {
    if (!board.limits.allow(client_address(req, board.options.trusted_proxy), kind, system_wall_ms())) {
        answer_error(res, 429, "too many requests from this address; wait a minute");
        return false;
    }
    if (!read_player_key(req.header("X-Player-Key"), player)) {
        answer_error(res, 400, "X-Player-Key must be 32 hex digits");
        return false;
    }
    if (board.store.banned(player)) {
        answer_error(res, 403, "this player key is banned");
        return false;
    }
    return true;
}

bool carries_nothing(const replay& r) {
    for (int32_t v : r.carried)
        if (v != 0) return false;
    return true;
}

void new_ticket(board_context& board, const http_request_in& req, http_response_out& res) {
    std::string player;
    if (!admit(board, req, res, limited::tickets, player)) return;
    ticket_fields t;
    t.id = random_hex(32);
    t.issued_ms = board.store.wall_ms();
    board.store.add_ticket(t.id, player, t.issued_ms);
    answer_json(res, 201, {{"ticket", make_ticket(board.secret, player, t)}, {"rules", replay_rules_version}});
}

// The ticket travels in X-Ticket, where no proxy logs it; older games put it in the URL.
std::string ticket_of(const http_request_in& req, const std::string& in_url) {
    const std::string header = req.header("X-Ticket");
    return header.empty() ? in_url : header;
}

void new_notice(board_context& board, const http_request_in& req, http_response_out& res) {
    std::string player;
    if (!admit(board, req, res, limited::notices, player)) return;
    ticket_fields t;
    if (!read_ticket(board.secret, ticket_of(req, req.matches.size() > 1 ? req.matches[1] : ""), player, t))
        return answer_final(res, 403, "the ticket is not genuine");
    notice_body n;
    std::string problem;
    if (!read_notice_body(req.body, n, problem)) return answer_error(res, 400, problem);
    const std::string group = address_group(client_address(req, board.options.trusted_proxy));
    if (n.event == notice_event::start && !board.limits.allow_start(player, group, system_wall_ms()))
        return answer_error(res, 429, "too many rounds started from this key or address; wait a minute");
    if (const std::string why = round_refusal(board.store, t.id); !why.empty())
        return answer_final(res, 409, "the round was refused: " + why);
    const notice_answer a = board.store.add_notice(t.id, player, t.issued_ms, n, req.received_ms, group);
    if (a.status == 200) return answer_json(res, 200, {{"seed", a.seed}});
    if (a.status == 204 && n.event == notice_event::tick) {
        // The tick's value, only now that its input is committed.
        const tick_answer v = answer_tick(board.store, t.id, n, !board.options.testing_waiver);
        if (v.status == 200) return answer_json(res, 200, {{"value", v.value}});
        return v.final ? answer_final(res, v.status, v.error) : answer_error(res, v.status, v.error);
    }
    if (a.status == 204 && n.event == notice_event::end) keep_end_digest(board.store, t.id, n);
    if (a.status == 204) {
        res.status = 204;
        return;
    }
    if (a.final) return answer_final(res, a.status, a.error);
    answer_error(res, a.status, a.error);
}

// Why a read replay cannot stand on the board before it is replayed, or empty.
std::string header_problem(const replay& r, const stored_ticket& t) {
    if (r.seed != t.seed) return "other seed: the replay's seed is not the one drawn when the round started";
    if (!initials_fit(r.name)) return "bad name: initials are three of A-Z or -";
    if (!carries_nothing(r)) return "carried state: a board round carries nothing over from an earlier round";
    if (r.frames != t.end_frame) return "the replay's last frame is not the end notice's frame";
    return "";
}

void new_round(board_context& board, const http_request_in& req, http_response_out& res) {
    std::string player;
    if (!admit(board, req, res, limited::rounds, player)) return;
    ticket_fields tf;
    if (!read_ticket(board.secret, ticket_of(req, req.param("ticket")), player, tf))
        return answer_final(res, 403, "the ticket is not genuine");
    const int64_t now = board.store.wall_ms();
    const stored_ticket t = board.store.find_ticket(tf.id);
    // A genuine ticket that is no longer kept has expired.
    if (!t.found) return answer_final(res, 404, now - tf.issued_ms > start_within_ms ? "the ticket has expired" : "no such ticket");
    if (t.state == ticket_state::used) return answer_final(res, 409, "the ticket was used");
    if (t.state == ticket_state::replaced) return answer_final(res, 410, "the ticket was replaced by a newer one");
    if (t.state == ticket_state::abandoned) return answer_final(res, 410, "the round was abandoned: a newer one started");
    // Its end notice may still be on the way: not the last word.
    if (t.state != ticket_state::ended) return answer_error(res, 409, "missing notices: the round has not ended");
    if (now - t.ended_ms > submit_within_ms) return answer_final(res, 410, "the round ended more than 7 days ago");

    static thread_local replay r;
    const replay_status status =
        read_replay_bytes(reinterpret_cast<const uint8_t*>(req.body.data()), req.body.size(), r);
    if (status == replay_status::other_rules) return answer_final(res, 422, "other rules: the replay is of another version");
    if (status != replay_status::read) return answer_final(res, 400, "the replay is damaged, or not in the one form the game writes");
    if (const std::string problem = header_problem(r, t); !problem.empty()) return answer_final(res, 422, problem);
    if (const std::string why = round_refusal(board.store, tf.id); !why.empty())
        return answer_final(res, 409, "the round was refused: " + why);
    // The input each tick committed, and the values drawn for them, before any replaying.
    if (const std::string problem = commitment_problem(round_commitments(board.store, tf.id), r); !problem.empty())
        return answer_final(res, 422, problem);

    const std::vector<stamped_notice> notices = board.store.notices(tf.id);
    const bool timed = !board.options.testing_waiver;
    if (timed) {
        const timing_verdict rough = check_timing(notices, r.frames, clock_bounds);
        if (!rough.fits) return answer_final(res, 422, rough.reason);
    }
    accepted_round kept;
    kept.replay_bytes = req.body;
    kept.seed = r.seed;
    std::string input(reinterpret_cast<const char*>(&r.seed), sizeof r.seed);
    input.append(reinterpret_cast<const char*>(r.input), r.input_size);
    kept.fingerprint = sha256_hex(input);
    if (board.store.copy_stored(kept.fingerprint)) {
        // Kept a moment ago through this ticket, by another board or another request.
        if (board.store.find_ticket(tf.id).state == ticket_state::used) return answer_final(res, 409, "the ticket was used");
        return answer_final(res, 422, "a copy of a stored round");
    }

    const verification v = verify_on_worker(r);
    if (!v.done) return answer_busy(res, "the board is busy; try again in a moment");
    if (!outcome_matches(r, v.outcome)) {
        if (!v.outcome.finished || v.outcome.input_damaged)
            return answer_final(res, 422, "does not verify: the round does not end on the replay's last frame");
        return answer_final(res, 422, "does not verify: its input gives score " + std::to_string(v.outcome.score) + ", " +
                                    std::to_string(v.outcome.blocks_cut) + " blocks, best combo " +
                                    std::to_string(v.outcome.best_combo));
    }
    const own_clock_reader exact = [&v](int32_t frames) {
        const int64_t ms = frames >= 0 && static_cast<size_t>(frames) < v.clock_after.size()
                               ? v.clock_after[static_cast<size_t>(frames)]
                               : 0;
        return own_clock{ms, ms};
    };
    const timing_verdict timing = check_timing(notices, r.frames, exact);
    if (timed && !timing.fits) return answer_final(res, 422, timing.reason);

    kept.id = random_hex(16);
    kept.ticket = tf.id;
    kept.player = player;
    kept.name.assign(r.name, 3);
    kept.score = r.score;
    kept.blocks = r.blocks_cut;
    kept.best_combo = r.best_combo;
    kept.frames = r.frames;
    kept.paused_ms = timing.fits ? timing.paused_ms : 0;
    kept.played_ms = t.ended_ms;
    board_store::round_standing standing;
    switch (board.store.keep_round(kept, standing)) {
        case board_store::keep_result::ticket_used: return answer_final(res, 409, "the ticket was used");
        case board_store::keep_result::copy: return answer_final(res, 422, "a copy of a stored round");
        case board_store::keep_result::kept: break;
    }
    json body = {{"id", kept.id}, {"score", kept.score}, {"rank", standing.rank}, {"stands", standing.stands}};
    // "rank" leaves the player's own best out; a round that is not that best says where the best is.
    if (!standing.stands && standing.best_rank > 0) {
        body["best_rank"] = standing.best_rank;
        body["best_score"] = standing.best_score;
    }
    answer_json(res, 201, body);
}

json row_json(const board_row& b) {
    return {{"rank", b.rank},
            {"name", b.name},
            {"score", b.score},
            {"blocks", b.blocks},
            {"best_combo", b.best_combo},
            {"paused_s", b.paused_ms / 1000},
            {"abandoned", b.abandoned},
            {"played_at", iso_utc(b.played_ms)},
            {"replay", "/api/v1/replays/" + b.round},
            {"watch", "/watch/" + b.round}};
}

void show_board(board_context& board, const http_request_in& req, http_response_out& res) {
    board_query q;
    std::string problem;
    if (!read_board_query(req.params, q, problem)) return answer_error(res, 400, problem);
    json rows = json::array();
    for (const board_row& b : board.store.board(q.period, board.store.wall_ms(), q.limit, q.offset))
        rows.push_back(row_json(b));
    answer_json(res, 200, {{"period", period_name(q.period)}, {"rules", replay_rules_version}, {"rows", rows}});
}

void send_replay(board_context& board, const http_request_in& req, http_response_out& res) {
    const std::string id = req.matches[1];
    std::string bytes;
    if (!read_round_id(id) || !board.store.replay(id, bytes)) return answer_error(res, 404, "no such round");
    res.set_header("Content-Disposition", "attachment; filename=\"board-" + id + ".rpl\"");
    res.body = bytes;
    res.content_type = "application/octet-stream";
}

void show_page(board_context& board, const http_request_in&, http_response_out& res) {
    const int64_t now = board.store.wall_ms();
    std::vector<board_row> boards[3];
    for (int p = 0; p < 3; ++p) boards[p] = board.store.board(static_cast<board_period>(p), now, 20, 0);
    res.body = board_page(boards, now, board.options.testing_waiver);
    res.content_type = "text/html; charset=utf-8";
}

}  // namespace

std::string client_address(const http_request_in& req, const std::string& trusted_proxy) {
    if (trusted_proxy.empty() || req.remote != trusted_proxy || !req.has_header("X-Forwarded-For"))
        return req.remote;
    // The proxy appends the address it saw; anything before it came from the client.
    const std::string forwarded = req.header("X-Forwarded-For");
    const size_t comma = forwarded.rfind(',');
    std::string last = comma == std::string::npos ? forwarded : forwarded.substr(comma + 1);
    while (!last.empty() && last.front() == ' ') last.erase(0, 1);
    while (!last.empty() && last.back() == ' ') last.pop_back();
    return last.empty() || last.size() > 64 ? req.remote : last;
}

void add_board_routes(http_server& server, board_context& board) {
    // The server refuses a body over the route's limit, or a chunked one where a body is
    // needed, before reading any of it.
    const route_options small{other_body_most, false}, small_body{other_body_most, true},
        round_body{round_body_most, true};
    server.route("POST", std::regex("/api/v1/tickets"), failures_answered([&](auto& req, auto& res) { new_ticket(board, req, res); }), small);
    server.route("POST", std::regex("/api/v1/notices"), failures_answered([&](auto& req, auto& res) { new_notice(board, req, res); }), small_body);
    server.route("POST", std::regex(R"(/api/v1/tickets/([^/]+)/notices)"), failures_answered([&](auto& req, auto& res) { new_notice(board, req, res); }), small_body);
    server.route("POST", std::regex("/api/v1/rounds"), failures_answered([&](auto& req, auto& res) { new_round(board, req, res); }), round_body);
    server.route("GET", std::regex("/api/v1/board"), failures_answered([&](auto& req, auto& res) { show_board(board, req, res); }), small);
    server.route("GET", std::regex(R"(/api/v1/replays/([^/]+))"), failures_answered([&](auto& req, auto& res) { send_replay(board, req, res); }), small);
    server.route("GET", std::regex("/healthz"), [&](const http_request_in&, http_response_out& res) {
        res.body = board.options.testing_waiver ? "ok\ntesting waiver on: no timing rule and no request limits\n"
                                                : "ok\n";
        res.content_type = "text/plain";
    }, small);
    server.route("GET", std::regex("/"), failures_answered([&](auto& req, auto& res) { show_page(board, req, res); }), small);
}
