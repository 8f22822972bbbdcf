// Everything the board keeps: tickets and their notices, accepted rounds with their replays,
// each player's best round of each board, and banned keys. One interface over SQLite or
// PostgreSQL (board/sql_connection.h); a write that is answered has been committed.
// Called by the HTTP pool threads, the housekeeper thread and, at start-up and for the
// operator's commands, the main thread; they share only the pool of idle connections (under
// the store's lock), and the database with any other board on it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "board/request_input.h"
#include "board/sql_connection.h"
#include "board/timing_rule.h"

// abandoned: started, and left when its player (or address) started another.
enum class ticket_state { fresh = 0, started = 1, ended = 2, used = 3, replaced = 4, abandoned = 5 };

struct stored_ticket {
    bool found = false;
    std::string player;
    ticket_state state = ticket_state::fresh;
    uint32_t seed = 0;
    int32_t end_frame = 0;
    int64_t ended_ms = 0;  // wall clock of the end notice
};

// An HTTP status with the error's reason, or the seed drawn at start. `final` when the
// refusal means the round can never be accepted.
struct notice_answer {
    int status = 204;
    std::string error;
    uint32_t seed = 0;
    bool final = false;
};

struct accepted_round {
    std::string id, ticket, player, name;
    int32_t score = 0, blocks = 0, best_combo = 0, frames = 0;
    int64_t paused_ms = 0, played_ms = 0;
    uint32_t seed = 0;
    std::string fingerprint;  // of the seed and the input: the same round twice is a copy
    std::string replay_bytes;
};

struct board_row {
    int64_t rank = 0;
    std::string name, round;
    int32_t score = 0, blocks = 0, best_combo = 0;
    int64_t paused_ms = 0, played_ms = 0;
    int64_t abandoned = 0;  // the player's started rounds left for a newer one
};

constexpr int64_t day_ms = 24 * 3600 * 1000LL;
constexpr int64_t start_within_ms = day_ms;       // a ticket is started within a day
constexpr int64_t submit_within_ms = 7 * day_ms;  // a round is sent within a week of its end
constexpr int notices_most = 1000;
constexpr int64_t forget_batch = 100;  // rows (or tickets) cleared out in one transaction
// Between two batches: longer than SQLite's longest sleep while it waits for the write lock
// (100 ms), so a writer waiting is sure to get in before the next batch.
constexpr int forget_pause_ms = 120;

// The first millisecond of the period that holds `wall_ms`: a UTC day; a week from Monday.
int64_t period_start(board_period p, int64_t wall_ms);

class board_store {
public:
    // Opens the database and sets up its tables; throws sql_error when it cannot, and when
    // `make_tables` is false and the database holds no board yet.
    board_store(std::string database, std::string data_dir, int connections, bool make_tables = true);
    ~board_store();

    void add_ticket(const std::string& id, const std::string& player, int64_t issued_ms);
    // `arrived_ms`: when the notice was read, on the monotonic clock (0: now). It is the
    // notice's time, however long the store then kept it waiting. A start abandons the round
    // that the player, or `address` (address_group's), still holds open.
    notice_answer add_notice(const std::string& ticket, const std::string& player, int64_t issued_ms,
                             const notice_body& n, int64_t arrived_ms = 0, const std::string& address = "");
    stored_ticket find_ticket(const std::string& id);
    std::vector<stamped_notice> notices(const std::string& ticket);
    bool copy_stored(const std::string& fingerprint);

    enum class keep_result { kept, ticket_used, copy };
    // Where a kept round stands on the all-time board.
    struct round_standing {
        int64_t rank = 0;         // among the other players' bests only, as older games read it
        bool stands = false;      // the round is now the player's own best
        int64_t best_rank = 0;    // when it is not: the player's best's place, 0 for none
        int32_t best_score = 0;   // and its score
    };
    // Marks the ticket used and keeps the round, in one transaction.
    keep_result keep_round(const accepted_round& r, round_standing& standing);

    std::vector<board_row> board(board_period p, int64_t now_ms, int limit, int offset);
    bool replay(const std::string& id, std::string& bytes);
    // A kept round's figures and length, for its watch page (rank left 0); false when the
    // board keeps no such round or its player is banned.
    bool round_figures(const std::string& id, board_row& row, int32_t& frames);
    bool banned(const std::string& player);

    // For the operator.
    bool remove_round(const std::string& id);
    void ban(const std::string& player);
    // False when the key was not banned.
    bool unban(const std::string& player);
    // The ticket secret kept in the database: `fresh` when it holds none yet, else the one
    // the first board put there.
    std::string shared_secret(const std::string& fresh);
    // Drops spent tickets and past boards, and with `retention_days` > 0 rounds older than
    // that which stand on no board. Returns the rounds dropped.
    // Batch by batch, each in a transaction of its own, with a pause between them; `stop`
    // set ends it between two batches.
    int64_t forget_old(int64_t now_ms, int retention_days, const std::atomic<bool>* stop = nullptr);
    // Works out the bests of the boards shown at `now_ms` again from the rounds (after rounds
    // were put in by other means).
    void rebuild_bests(int64_t now_ms);

    int64_t wall_ms();
    bool shared();

    // A connection from the pool, given back when the lease ends.
    class lease {
    public:
        lease(board_store& s);
        ~lease();
        sql_connection* operator->() { return c_.get(); }
        sql_connection& operator*() { return *c_; }
        void lost() { lost_ = true; }

    private:
        board_store& s_;
        std::unique_ptr<sql_connection> c_;
        bool lost_ = false;
    };

private:
    std::string database_, data_dir_;
    int most_;
    int open_ = 0;
    std::vector<std::unique_ptr<sql_connection>> idle_;
    std::mutex m_;
    std::condition_variable freed_;

    void set_up();
    void put_bests(sql_connection& c, const std::string& player, const std::string& round, int32_t score,
                   int64_t played_ms);
    void refigure_bests(sql_connection& c, const std::string& player);
    int64_t in_batches(const std::string& sql, const std::vector<sql_value>& params, const std::atomic<bool>* stop);
    void forget_tickets(const std::string& spent, const std::vector<sql_value>& params, const std::atomic<bool>* stop);
    static std::string best_rounds_sql(board_period p, const std::string& who);
    void hold_open(sql_connection& c, const std::string& ticket, const std::vector<std::string>& holders);
};
