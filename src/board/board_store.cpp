// The board's tables and every statement it runs on them. The same statements serve SQLite
// and PostgreSQL; a transaction that changes a ticket first reads it with its row held
// (BEGIN IMMEDIATE in SQLite, FOR UPDATE in PostgreSQL), so two boards on one database
// never both accept one ticket.
#include "board/board_store.h"

#include "board/tickets.h"

namespace {

const char* const schema[] = {
    "CREATE TABLE IF NOT EXISTS tickets (id TEXT PRIMARY KEY, player TEXT NOT NULL, issued_ms BIGINT NOT NULL, "
    "state INTEGER NOT NULL, seed BIGINT, end_frame INTEGER, ended_ms BIGINT, notices INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS tickets_player ON tickets (player, state)",
    "CREATE TABLE IF NOT EXISTS notices (ticket TEXT NOT NULL, seq INTEGER NOT NULL, frame INTEGER NOT NULL, "
    "event INTEGER NOT NULL, at_ms BIGINT NOT NULL, PRIMARY KEY (ticket, seq))",
    "CREATE TABLE IF NOT EXISTS rounds (id TEXT PRIMARY KEY, ticket TEXT NOT NULL UNIQUE, player TEXT NOT NULL, "
    "name TEXT NOT NULL, score INTEGER NOT NULL, blocks INTEGER NOT NULL, best_combo INTEGER NOT NULL, "
    "paused_ms BIGINT NOT NULL, played_ms BIGINT NOT NULL, frames INTEGER NOT NULL, seed BIGINT NOT NULL, "
    "fingerprint TEXT NOT NULL UNIQUE, replay @BLOB@ NOT NULL)",
    "CREATE INDEX IF NOT EXISTS rounds_player ON rounds (player)",
    "CREATE INDEX IF NOT EXISTS rounds_played ON rounds (played_ms)",
    // Each player's best round of every board: the boards read only this, ten rows at a time.
    "CREATE TABLE IF NOT EXISTS bests (period INTEGER NOT NULL, since_ms BIGINT NOT NULL, player TEXT NOT NULL, "
    "round TEXT NOT NULL, score INTEGER NOT NULL, played_ms BIGINT NOT NULL, PRIMARY KEY (period, since_ms, player))",
    "CREATE INDEX IF NOT EXISTS bests_order ON bests (period, since_ms, score DESC, played_ms, round)",
    "CREATE INDEX IF NOT EXISTS bests_round ON bests (round)",
    "CREATE TABLE IF NOT EXISTS bans (player TEXT PRIMARY KEY, banned_ms BIGINT NOT NULL)",
};

// Runs `work` in a write transaction and commits; on a failure rolls back and passes it on.
template <typename Work>
auto in_transaction(board_store::lease& c, Work work) {
    try {
        c->begin_write();
        auto result = work();
        c->commit();
        return result;
    } catch (const sql_error& e) {
        if (e.lost) c.lost();
        else c->rollback();
        throw;
    }
}

// The same for a plain statement outside a transaction: a lost connection is not pooled again.
template <typename Work>
auto marking_lost(board_store::lease& c, Work work) {
    try {
        return work();
    } catch (const sql_error& e) {
        if (e.lost) c.lost();
        throw;
    }
}

const board_period periods[] = {board_period::all, board_period::week, board_period::day};

}  // namespace

int64_t period_start(board_period p, int64_t wall_ms) {
    const int64_t day = wall_ms / day_ms;
    switch (p) {
        case board_period::all: return 0;
        case board_period::day: return day * day_ms;
        case board_period::week: return (day - (day + 3) % 7) * day_ms;  // 1 January 1970 was a Thursday
    }
    return 0;
}

board_store::lease::lease(board_store& s) : s_(s) {
    std::unique_lock<std::mutex> hold(s_.m_);
    s_.freed_.wait(hold, [&] { return !s_.idle_.empty() || s_.open_ < s_.most_; });
    if (!s_.idle_.empty()) {
        c_ = std::move(s_.idle_.back());
        s_.idle_.pop_back();
        return;
    }
    ++s_.open_;
    hold.unlock();
    try {
        c_ = open_sql(s_.database_, s_.data_dir_);
    } catch (...) {
        hold.lock();
        --s_.open_;
        s_.freed_.notify_one();
        throw;
    }
}

board_store::lease::~lease() {
    std::lock_guard<std::mutex> hold(s_.m_);
    if (lost_ || !c_) --s_.open_;
    else s_.idle_.push_back(std::move(c_));
    s_.freed_.notify_one();
}

board_store::board_store(std::string database, std::string data_dir, int connections)
    : database_(std::move(database)), data_dir_(std::move(data_dir)), most_(connections < 1 ? 1 : connections) {
    set_up();
}

board_store::~board_store() = default;

void board_store::set_up() {
    lease c(*this);
    marking_lost(c, [&] {
        // Boards starting together on one PostgreSQL take turns at making the tables.
        if (c->shared()) c->run("SELECT pg_advisory_lock(8640)");
        for (const char* statement : schema) {
            std::string sql = statement;
            const size_t at = sql.find("@BLOB@");
            if (at != std::string::npos) sql.replace(at, 6, c->shared() ? "BYTEA" : "BLOB");
            c->run(sql);
        }
        if (c->shared()) c->run("SELECT pg_advisory_unlock(8640)");
        return 0;
    });
}

int64_t board_store::wall_ms() {
    lease c(*this);
    return marking_lost(c, [&] { return c->wall_ms(); });
}

bool board_store::shared() {
    lease c(*this);
    return c->shared();
}

void board_store::add_ticket(const std::string& id, const std::string& player, int64_t issued_ms) {
    lease c(*this);
    in_transaction(c, [&] {
        // At most one unstarted ticket a player: a new one replaces it.
        c->run("UPDATE tickets SET state = 4 WHERE player = $1 AND state = 0", {player});
        c->run("INSERT INTO tickets (id, player, issued_ms, state) VALUES ($1, $2, $3, 0)", {id, player, issued_ms});
        return 0;
    });
}

notice_answer board_store::add_notice(const std::string& ticket, const std::string& player, int64_t issued_ms,
                                      const notice_body& n) {
    lease c(*this);
    return in_transaction(c, [&]() -> notice_answer {
        const sql_result t = c->run(std::string("SELECT player, state, seed, notices FROM tickets WHERE id = $1") +
                                        c->lock_rows(),
                                    {ticket});
        if (t.rows.empty() || t.rows[0].text(0) != player) return {403, "no such ticket", 0};
        const auto state = static_cast<ticket_state>(t.rows[0].integer(1));
        const auto seed = static_cast<uint32_t>(t.rows[0].integer(2));
        const sql_result again = c->run("SELECT event FROM notices WHERE ticket = $1 AND seq = $2", {ticket, n.seq});
        if (!again.rows.empty()) {
            // A notice sent again after a lost answer gets the same answer.
            if (again.rows[0].integer(0) == static_cast<int>(notice_event::start)) return {200, "", seed};
            return {204, "", 0};
        }
        if (state == ticket_state::replaced) return {410, "the ticket was replaced by a newer one", 0};
        if (state == ticket_state::used) return {409, "the ticket was used", 0};
        if (n.event == notice_event::start) {
            if (state != ticket_state::fresh) return {409, "the round has already started", 0};
            if (n.frame != 0) return {400, "a round starts at frame 0", 0};
            if (c->wall_ms() - issued_ms > start_within_ms) return {410, "the ticket was not started within a day", 0};
            const uint32_t drawn = random_seed();
            const int64_t at = c->round_clock_ms();
            c->run("UPDATE tickets SET state = 1, seed = $2, notices = 1 WHERE id = $1", {ticket, drawn});
            c->run("INSERT INTO notices (ticket, seq, frame, event, at_ms) VALUES ($1, $2, 0, 0, $3)",
                   {ticket, n.seq, at});
            return {200, "", drawn};
        }
        if (state == ticket_state::fresh) return {409, "the round has not started", 0};
        if (state == ticket_state::ended) return {409, "the round has ended", 0};
        if (t.rows[0].integer(3) >= notices_most) return {409, "too many notices for one round", 0};
        const int64_t at = c->round_clock_ms();
        c->run("INSERT INTO notices (ticket, seq, frame, event, at_ms) VALUES ($1, $2, $3, $4, $5)",
               {ticket, n.seq, n.frame, static_cast<int>(n.event), at});
        if (n.event == notice_event::end)
            c->run("UPDATE tickets SET notices = notices + 1, state = 2, end_frame = $2, ended_ms = $3 WHERE id = $1",
                   {ticket, n.frame, c->wall_ms()});
        else
            c->run("UPDATE tickets SET notices = notices + 1 WHERE id = $1", {ticket});
        return {204, "", 0};
    });
}

stored_ticket board_store::find_ticket(const std::string& id) {
    lease c(*this);
    return marking_lost(c, [&] {
        stored_ticket t;
        const sql_result r = c->run("SELECT player, state, seed, end_frame, ended_ms FROM tickets WHERE id = $1", {id});
        if (r.rows.empty()) return t;
        t.found = true;
        t.player = r.rows[0].text(0);
        t.state = static_cast<ticket_state>(r.rows[0].integer(1));
        t.seed = static_cast<uint32_t>(r.rows[0].integer(2));
        t.end_frame = static_cast<int32_t>(r.rows[0].integer(3));
        t.ended_ms = r.rows[0].integer(4);
        return t;
    });
}

std::vector<stamped_notice> board_store::notices(const std::string& ticket) {
    lease c(*this);
    return marking_lost(c, [&] {
        std::vector<stamped_notice> out;
        const sql_result r =
            c->run("SELECT seq, frame, event, at_ms FROM notices WHERE ticket = $1 ORDER BY seq", {ticket});
        for (const sql_row& row : r.rows)
            out.push_back({row.integer(0), static_cast<int32_t>(row.integer(1)),
                           static_cast<notice_event>(row.integer(2)), row.integer(3)});
        return out;
    });
}

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

board_store::keep_result board_store::keep_round(const accepted_round& r, int64_t& rank) {
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
    rank = 1 + marking_lost(c, [&] {
               return c->run("SELECT count(*) FROM bests WHERE period = 0 AND since_ms = 0 AND player <> $1 AND "
                             "(score > $2 OR (score = $2 AND played_ms < $3))",
                             {r.player, r.score, r.played_ms})
                   .rows.at(0)
                   .integer(0);
           });
    return kept;
}

std::vector<board_row> board_store::board(board_period p, int64_t now_ms, int limit, int offset) {
    lease c(*this);
    return marking_lost(c, [&] {
        const sql_result r = c->run(
            "SELECT b.score, b.played_ms, b.round, r.name, r.blocks, r.best_combo, r.paused_ms FROM bests b "
            "JOIN rounds r ON r.id = b.round WHERE b.period = $1 AND b.since_ms = $2 "
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

bool board_store::banned(const std::string& player) {
    lease c(*this);
    return marking_lost(c, [&] { return !c->run("SELECT 1 FROM bans WHERE player = $1", {player}).rows.empty(); });
}

// After a round left: the player's bests worked out again from the rounds still kept.
void board_store::refigure_bests(sql_connection& c, const std::string& player) {
    c.run("DELETE FROM bests WHERE player = $1", {player});
    if (!c.run("SELECT 1 FROM bans WHERE player = $1", {player}).rows.empty()) return;
    const sql_result rounds = c.run("SELECT id, score, played_ms FROM rounds WHERE player = $1", {player});
    for (const sql_row& row : rounds.rows)
        put_bests(c, player, row.text(0), static_cast<int32_t>(row.integer(1)), row.integer(2));
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

int64_t board_store::forget_old(int64_t now_ms, int retention_days) {
    lease c(*this);
    return in_transaction(c, [&] {
        // Tickets that can no longer be started or sent, with their notices.
        const std::vector<sql_value> cutoffs = {now_ms - start_within_ms - int64_t{3600 * 1000}, now_ms - submit_within_ms,
                                                now_ms - 2 * day_ms};
        const char* spent = "(state IN (0, 4) AND issued_ms < $1) OR (state = 2 AND ended_ms < $2) OR "
                            "(state = 1 AND issued_ms < $3)";
        c->run(std::string("DELETE FROM notices WHERE ticket IN (SELECT id FROM tickets WHERE ") + spent + ")", cutoffs);
        c->run(std::string("DELETE FROM tickets WHERE ") + spent, cutoffs);
        // Boards of weeks and days gone by.
        c->run("DELETE FROM bests WHERE (period = 1 AND since_ms < $1) OR (period = 2 AND since_ms < $2)",
               {period_start(board_period::week, now_ms), period_start(board_period::day, now_ms)});
        if (retention_days <= 0) return int64_t{0};
        const int64_t dropped =
            c->run("DELETE FROM rounds WHERE played_ms < $1 AND id NOT IN (SELECT round FROM bests)",
                   {now_ms - retention_days * day_ms})
                .changed;
        c->run("DELETE FROM notices WHERE ticket IN (SELECT id FROM tickets WHERE state = 3 AND id NOT IN "
               "(SELECT ticket FROM rounds))");
        c->run("DELETE FROM tickets WHERE state = 3 AND id NOT IN (SELECT ticket FROM rounds)");
        return dropped;
    });
}

void board_store::rebuild_bests(int64_t now_ms) {
    lease c(*this);
    in_transaction(c, [&] {
        c->run("DELETE FROM bests");
        // Only the boards shown: all time, this week, today.
        const char* since[] = {"0", "(played_ms / 86400000 - (played_ms / 86400000 + 3) % 7) * 86400000",
                               "(played_ms / 86400000) * 86400000"};
        for (board_period p : periods) {
            const std::string s = since[static_cast<int>(p)];
            c->run("INSERT INTO bests (period, since_ms, player, round, score, played_ms) SELECT " +
                       std::to_string(static_cast<int>(p)) +
                       ", since_ms, player, id, score, played_ms FROM (SELECT " + s +
                       " AS since_ms, player, id, score, played_ms, ROW_NUMBER() OVER (PARTITION BY player, " + s +
                       " ORDER BY score DESC, played_ms, id) AS n FROM rounds WHERE played_ms >= $1 AND player NOT IN "
                       "(SELECT player FROM bans)) ranked WHERE n = 1",
                   {period_start(p, now_ms)});
        }
        return 0;
    });
}
