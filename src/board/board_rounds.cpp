// The accepted rounds and the boards made of each player's bests, and the operator's
// remove, ban and clearing out.
// HTTP pool threads keep and read rounds, the housekeeper thread clears out, and the main
// thread runs the operator's commands; each call on a connection leased for its length.
#include "board/board_store.h"

#include <chrono>
#include <thread>

#include "board/store_calls.h"

namespace {

const board_period periods[] = {board_period::all, board_period::week, board_period::day};

// Lets the writers waiting for the store in; false when told to stop.
bool pause_between_batches(const std::atomic<bool>* stop) {
    for (int ms = 0; ms < forget_pause_ms; ms += 10) {
        if (stop && stop->load()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !(stop && stop->load());
}

}  // namespace

bool board_store::copy_stored(const std::string& fingerprint) {
    lease c(*this);
    return marking_lost(c, [&] { return !c->run("SELECT 1 FROM rounds WHERE fingerprint = $1", {fingerprint}).rows.empty(); });
}

void board_store::put_bests(sql_connection& c, const std::string& player, const std::string& round, int32_t score,
                            int64_t played_ms) {
    for (board_period p : periods)
        c.run("INSERT INTO bests (period, since_ms, player, round, score, played_ms) VALUES ($1, $2, $3, $4, $5, $6) "
              "ON CONFLICT (period, since_ms, player) DO UPDATE SET round = excluded.round, score = excluded.score, "
              "played_ms = excluded.played_ms WHERE excluded.score > bests.score OR "
              "(excluded.score = bests.score AND excluded.played_ms < bests.played_ms)",
              {static_cast<int>(p), period_start(p, played_ms), player, round, score, played_ms});
}

board_store::keep_result board_store::keep_round(const accepted_round& r, round_standing& standing) {
    lease c(*this);
    keep_result kept = keep_result::kept;
    try {
        kept = in_transaction(c, [&] {
            // A copy kept through this very ticket by another board a moment ago is a used ticket.
            if (!c->run("SELECT 1 FROM rounds WHERE fingerprint = $1", {r.fingerprint}).rows.empty())
                return c->run("SELECT 1 FROM tickets WHERE id = $1 AND state = 3", {r.ticket}).rows.empty()
                           ? keep_result::copy
                           : keep_result::ticket_used;
            if (c->run("UPDATE tickets SET state = 3 WHERE id = $1 AND state = 2", {r.ticket}).changed != 1)
                return keep_result::ticket_used;
            c->run("INSERT INTO rounds (id, ticket, player, name, score, blocks, best_combo, paused_ms, played_ms, "
                   "frames, seed, fingerprint, replay) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13)",
                   {r.id, r.ticket, r.player, r.name, r.score, r.blocks, r.best_combo, r.paused_ms, r.played_ms,
                    r.frames, r.seed, r.fingerprint, sql_value::blob(r.replay_bytes)});
            if (c->run("SELECT 1 FROM bans WHERE player = $1", {r.player}).rows.empty())
                put_bests(*c, r.player, r.id, r.score, r.played_ms);
            return keep_result::kept;
        });
    } catch (const sql_error& e) {
        // The same round, sent through another ticket at the same moment, was kept first.
        if (!e.conflict) throw;
        return keep_result::copy;
    }
    if (kept != keep_result::kept) return kept;
    standing = marking_lost(c, [&] {
        round_standing s;
        s.rank = 1 + c->run("SELECT count(*) FROM bests WHERE period = 0 AND since_ms = 0 AND player <> $1 AND "
                            "(score > $2 OR (score = $2 AND played_ms < $3))",
                            {r.player, r.score, r.played_ms})
                         .rows.at(0)
                         .integer(0);
        // A lower round, or an equal one played later, leaves the player's best where it was.
        const sql_result best = c->run(
            "SELECT round, score, played_ms FROM bests WHERE period = 0 AND since_ms = 0 AND player = $1", {r.player});
        if (best.rows.empty()) return s;
        s.stands = best.rows[0].text(0) == r.id;
        if (s.stands) return s;
        s.best_score = static_cast<int32_t>(best.rows[0].integer(1));
        s.best_rank = 1 + c->run("SELECT count(*) FROM bests WHERE period = 0 AND since_ms = 0 AND (score > $1 OR "
                                 "(score = $1 AND played_ms < $2) OR (score = $1 AND played_ms = $2 AND round < $3))",
                                 {s.best_score, best.rows[0].integer(2), best.rows[0].text(0)})
                              .rows.at(0)
                              .integer(0);
        return s;
    });
    return kept;
}

std::vector<board_row> board_store::board(board_period p, int64_t now_ms, int limit, int offset) {
    lease c(*this);
    return marking_lost(c, [&] {
        const sql_result r = c->run(
            "SELECT b.score, b.played_ms, b.round, r.name, r.blocks, r.best_combo, r.paused_ms, "
            "COALESCE(a.rounds, 0) FROM bests b JOIN rounds r ON r.id = b.round "
            "LEFT JOIN abandons a ON a.player = b.player WHERE b.period = $1 AND b.since_ms = $2 "
            "ORDER BY b.score DESC, b.played_ms, b.round LIMIT $3 OFFSET $4",
            {static_cast<int>(p), period_start(p, now_ms), limit, offset});
        std::vector<board_row> rows;
        for (const sql_row& row : r.rows) {
            board_row b;
            b.rank = offset + static_cast<int64_t>(rows.size()) + 1;
            b.score = static_cast<int32_t>(row.integer(0));
            b.played_ms = row.integer(1);
            b.round = row.text(2);
            b.name = row.text(3);
            b.blocks = static_cast<int32_t>(row.integer(4));
            b.best_combo = static_cast<int32_t>(row.integer(5));
            b.paused_ms = row.integer(6);
            b.abandoned = row.integer(7);
            rows.push_back(std::move(b));
        }
        return rows;
    });
}

bool board_store::replay(const std::string& id, std::string& bytes) {
    lease c(*this);
    return marking_lost(c, [&] {
        const sql_result r = c->run("SELECT replay FROM rounds WHERE id = $1", {id}, true);
        if (r.rows.empty()) return false;
        bytes = r.rows[0].text(0);
        return true;
    });
}

bool board_store::round_figures(const std::string& id, board_row& row, int32_t& frames) {
    lease c(*this);
    return marking_lost(c, [&] {
        const sql_result r = c->run(
            "SELECT name, score, blocks, best_combo, paused_ms, played_ms, frames FROM rounds WHERE id = $1 "
            "AND player NOT IN (SELECT player FROM bans)",
            {id});
        if (r.rows.empty()) return false;
        const sql_row& f = r.rows[0];
        row = {};
        row.round = id;
        row.name = f.text(0);
        row.score = static_cast<int32_t>(f.integer(1));
        row.blocks = static_cast<int32_t>(f.integer(2));
        row.best_combo = static_cast<int32_t>(f.integer(3));
        row.paused_ms = f.integer(4);
        row.played_ms = f.integer(5);
        frames = static_cast<int32_t>(f.integer(6));
        return true;
    });
}

bool board_store::banned(const std::string& player) {
    lease c(*this);
    return marking_lost(c, [&] { return !c->run("SELECT 1 FROM bans WHERE player = $1", {player}).rows.empty(); });
}

// After a round left: the player's bests worked out again from the rounds still kept, in a
// few statements however many rounds the player has.
void board_store::refigure_bests(sql_connection& c, const std::string& player) {
    c.run("DELETE FROM bests WHERE player = $1", {player});
    if (!c.run("SELECT 1 FROM bans WHERE player = $1", {player}).rows.empty()) return;
    for (board_period p : periods) c.run(best_rounds_sql(p, "player = $2"), {period_start(p, 0), player});
}

bool board_store::remove_round(const std::string& id) {
    lease c(*this);
    return in_transaction(c, [&] {
        const sql_result r = c->run(std::string("SELECT player FROM rounds WHERE id = $1") + c->lock_rows(), {id});
        if (r.rows.empty()) return false;
        const std::string player = r.rows[0].text(0);
        c->run("DELETE FROM rounds WHERE id = $1", {id});
        refigure_bests(*c, player);
        return true;
    });
}

void board_store::ban(const std::string& player) {
    lease c(*this);
    in_transaction(c, [&] {
        c->run("INSERT INTO bans (player, banned_ms) VALUES ($1, $2) ON CONFLICT (player) DO NOTHING",
               {player, c->wall_ms()});
        c->run("DELETE FROM bests WHERE player = $1", {player});
        return 0;
    });
}

bool board_store::unban(const std::string& player) {
    lease c(*this);
    return in_transaction(c, [&] {
        if (c->run("DELETE FROM bans WHERE player = $1", {player}).changed == 0) return false;
        refigure_bests(*c, player);
        return true;
    });
}

// Each step in short transactions of a batch each, so a board serving at the same time waits
// for the store's write lock a moment at most.
int64_t board_store::forget_old(int64_t now_ms, int retention_days, const std::atomic<bool>* stop) {
    // Tickets that can no longer be started or sent, with their notices.
    const std::vector<sql_value> cutoffs = {now_ms - start_within_ms - int64_t{3600 * 1000}, now_ms - submit_within_ms,
                                            now_ms - 2 * day_ms};
    forget_tickets("(state IN (0, 4) AND issued_ms < $1) OR (state = 2 AND ended_ms < $2) OR "
                   "(state IN (1, 5) AND issued_ms < $3)",
                   cutoffs, stop);
    // Boards of weeks and days gone by.
    in_batches("DELETE FROM bests WHERE (period, since_ms, player) IN (SELECT period, since_ms, player FROM bests "
               "WHERE (period = 1 AND since_ms < $1) OR (period = 2 AND since_ms < $2) LIMIT " +
                   std::to_string(forget_batch) + ")",
               {period_start(board_period::week, now_ms), period_start(board_period::day, now_ms)}, stop);
    if (retention_days <= 0) return 0;
    const int64_t dropped = in_batches("DELETE FROM rounds WHERE id IN (SELECT id FROM rounds WHERE played_ms < $1 "
                                       "AND id NOT IN (SELECT round FROM bests) LIMIT " +
                                           std::to_string(forget_batch) + ")",
                                       {now_ms - retention_days * day_ms}, stop);
    forget_tickets("state = 3 AND id NOT IN (SELECT ticket FROM rounds)", {}, stop);
    return dropped;
}

// Runs a DELETE of at most forget_batch rows, each time in a transaction of its own, until
// it finds no more. The rows deleted in all.
int64_t board_store::in_batches(const std::string& sql, const std::vector<sql_value>& params,
                                const std::atomic<bool>* stop) {
    int64_t all = 0;
    while (!(stop && stop->load())) {
        int64_t gone = 0;
        {
            lease c(*this);
            gone = in_transaction(c, [&] { return c->run(sql, params).changed; });
        }
        all += gone;
        if (gone < forget_batch || !pause_between_batches(stop)) break;
    }
    return all;
}

// The tickets `spent` picks, a batch at a time, with their notices, their draws and their
// hold on an open round.
void board_store::forget_tickets(const std::string& spent, const std::vector<sql_value>& params,
                                 const std::atomic<bool>* stop) {
    while (!(stop && stop->load())) {
        bool more = false;
        {
            lease c(*this);
            more = in_transaction(c, [&] {
                const sql_result ids = c->run("SELECT id FROM tickets WHERE " + spent + " LIMIT " +
                                                  std::to_string(forget_batch) + c->lock_rows(),
                                              params);
                if (ids.rows.empty()) return false;
                std::string list;
                std::vector<sql_value> values;
                for (const sql_row& row : ids.rows) {
                    values.emplace_back(row.text(0));
                    list += (list.empty() ? "$" : ", $") + std::to_string(values.size());
                }
                for (const char* table : {"notices WHERE ticket", "open_rounds WHERE ticket", "round_draws WHERE ticket",
                                          "refused_rounds WHERE ticket", "tickets WHERE id"})
                    c->run(std::string("DELETE FROM ") + table + " IN (" + list + ")", values);
                return static_cast<int64_t>(ids.rows.size()) == forget_batch;
            });
        }
        if (!more || !pause_between_batches(stop)) return;
    }
}

// An INSERT of the best round of each player who fits `who` ($2 on), on board `p`'s periods
// from `$1` on.
std::string board_store::best_rounds_sql(board_period p, const std::string& who) {
    // Only the boards shown: all time, this week, today.
    const char* since[] = {"0", "(played_ms / 86400000 - (played_ms / 86400000 + 3) % 7) * 86400000",
                           "(played_ms / 86400000) * 86400000"};
    const std::string s = since[static_cast<int>(p)];
    return "INSERT INTO bests (period, since_ms, player, round, score, played_ms) SELECT " +
           std::to_string(static_cast<int>(p)) + ", since_ms, player, id, score, played_ms FROM (SELECT " + s +
           " AS since_ms, player, id, score, played_ms, ROW_NUMBER() OVER (PARTITION BY player, " + s +
           " ORDER BY score DESC, played_ms, id) AS n FROM rounds WHERE played_ms >= $1 AND " + who +
           " AND player NOT IN (SELECT player FROM bans)) ranked WHERE n = 1";
}

void board_store::rebuild_bests(int64_t now_ms) {
    lease c(*this);
    in_transaction(c, [&] {
        c->run("DELETE FROM bests");
        for (board_period p : periods) c->run(best_rounds_sql(p, "1 = 1"), {period_start(p, now_ms)});
        return 0;
    });
}
