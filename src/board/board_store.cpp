// The board's tables, the pool of connections to them, and the tickets with their notices.
// The same statements serve SQLite and PostgreSQL; a transaction that changes a ticket first
// reads it with its row held (BEGIN IMMEDIATE in SQLite, FOR UPDATE in PostgreSQL), so two
// boards on one database never both accept one ticket.
// Any thread of the board calls in; each call leases a connection of its own for its length.
#include "board/board_store.h"

#include <algorithm>

#include "board/store_calls.h"
#include "board/tickets.h"
#include "platform/monotonic_clock.h"

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
    // A board round's values and digests, and the rounds refused as they went (round_draws.h).
    // ended 0: a tick's digest and the value drawn for it; 1: the end's digest.
    "CREATE TABLE IF NOT EXISTS round_draws (ticket TEXT NOT NULL, frame INTEGER NOT NULL, ended INTEGER NOT NULL, "
    "digest TEXT NOT NULL, value BIGINT NOT NULL, PRIMARY KEY (ticket, frame, ended))",
    "CREATE TABLE IF NOT EXISTS refused_rounds (ticket TEXT PRIMARY KEY, reason TEXT NOT NULL)",
    // The round each key, and each address (an IPv6 one by its /64), started last: open
    // while its ticket is in state 1.
    "CREATE TABLE IF NOT EXISTS open_rounds (holder TEXT PRIMARY KEY, ticket TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS open_rounds_ticket ON open_rounds (ticket)",
    // How many started rounds each player left for a newer one.
    "CREATE TABLE IF NOT EXISTS abandons (player TEXT PRIMARY KEY, rounds BIGINT NOT NULL)",
    // The ticket secret of boards on one PostgreSQL that are given none.
    "CREATE TABLE IF NOT EXISTS secrets (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
};

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

board_store::board_store(std::string database, std::string data_dir, int connections, bool make_tables)
    : database_(std::move(database)), data_dir_(std::move(data_dir)), most_(connections < 1 ? 1 : connections) {
    if (!make_tables) {
        lease c(*this);
        try {
            c->run("SELECT 1 FROM rounds WHERE 1 = 0");
        } catch (const sql_error&) {
            throw sql_error("there is no board in this database", false);
        }
    }
    set_up();
}

std::string board_store::shared_secret(const std::string& fresh) {
    lease c(*this);
    return in_transaction(c, [&] {
        c->run("INSERT INTO secrets (name, value) VALUES ('ticket', $1) ON CONFLICT (name) DO NOTHING", {fresh});
        return c->run("SELECT value FROM secrets WHERE name = 'ticket'").rows.at(0).text(0);
    });
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

// A started round is the one its holders hold open: the round each held before is abandoned
// (unless it has ended since), and counted against its player. Boards on one PostgreSQL take
// starts one at a time, so two starts from one address never wait on each other's rows; an
// end never touches these rows, so it never waits on a start either.
void board_store::hold_open(sql_connection& c, const std::string& ticket, const std::vector<std::string>& holders) {
    if (c.shared()) c.run("SELECT pg_advisory_xact_lock(8641)");
    for (const std::string& holder : holders) {
        c.run("INSERT INTO open_rounds (holder, ticket) VALUES ($1, '') ON CONFLICT (holder) DO NOTHING", {holder});
        const sql_result held =
            c.run(std::string("SELECT ticket FROM open_rounds WHERE holder = $1") + c.lock_rows(), {holder});
        const std::string earlier = held.rows.at(0).text(0);
        if (!earlier.empty() && earlier != ticket &&
            c.run("UPDATE tickets SET state = 5 WHERE id = $1 AND state = 1", {earlier}).changed == 1)
            c.run("INSERT INTO abandons (player, rounds) SELECT player, 1 FROM tickets WHERE id = $1 "
                  "ON CONFLICT (player) DO UPDATE SET rounds = abandons.rounds + 1",
                  {earlier});
        c.run("UPDATE open_rounds SET ticket = $2 WHERE holder = $1", {holder, ticket});
    }
}

notice_answer board_store::add_notice(const std::string& ticket, const std::string& player, int64_t issued_ms,
                                      const notice_body& n, int64_t arrived_ms, const std::string& address) {
    lease c(*this);
    // The round's clock when the notice came: now, less the time it waited since.
    auto arrival = [&] {
        const int64_t at = c->round_clock_ms();
        return arrived_ms > 0 ? at - std::max<int64_t>(0, monotonic_ms() - arrived_ms) : at;
    };
    return in_transaction(c, [&]() -> notice_answer {
        const sql_result t = c->run(std::string("SELECT player, state, seed, notices FROM tickets WHERE id = $1") +
                                        c->lock_rows(),
                                    {ticket});
        if (t.rows.empty()) return {404, "no such ticket", 0, true};
        if (t.rows[0].text(0) != player) return {403, "no such ticket", 0, true};
        const auto state = static_cast<ticket_state>(t.rows[0].integer(1));
        const auto seed = static_cast<uint32_t>(t.rows[0].integer(2));
        const sql_result again = c->run("SELECT event FROM notices WHERE ticket = $1 AND seq = $2", {ticket, n.seq});
        if (!again.rows.empty()) {
            // A notice sent again after a lost answer gets the same answer.
            if (again.rows[0].integer(0) == static_cast<int>(notice_event::start)) return {200, "", seed};
            return {204, "", 0};
        }
        if (state == ticket_state::replaced) return {410, "the ticket was replaced by a newer one", 0, true};
        if (state == ticket_state::abandoned) return {410, "the round was abandoned: a newer one started", 0, true};
        if (state == ticket_state::used) return {409, "the ticket was used", 0, true};
        if (n.event == notice_event::start) {
            if (state != ticket_state::fresh) return {409, "the round has already started", 0};
            if (n.frame != 0) return {400, "a round starts at frame 0", 0};
            if (c->wall_ms() - issued_ms > start_within_ms) return {410, "the ticket was not started within a day", 0, true};
            std::vector<std::string> holders = {"key " + player};
            if (!address.empty()) holders.push_back("address " + address);
            hold_open(*c, ticket, holders);
            const uint32_t drawn = random_seed();
            const int64_t at = arrival();
            c->run("UPDATE tickets SET state = 1, seed = $2, notices = 1 WHERE id = $1", {ticket, drawn});
            c->run("INSERT INTO notices (ticket, seq, frame, event, at_ms) VALUES ($1, $2, 0, 0, $3)",
                   {ticket, n.seq, at});
            return {200, "", drawn};
        }
        if (state == ticket_state::fresh) return {409, "the round has not started", 0};
        if (state == ticket_state::ended) return {409, "the round has ended", 0};
        if (t.rows[0].integer(3) >= notices_most) return {409, "too many notices for one round", 0, true};
        const int64_t at = arrival();
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

