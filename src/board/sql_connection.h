// One connection to the board's database, SQLite or PostgreSQL, behind the few calls the
// board makes. Statements are the same text for both (parameters written $1, $2, ...), and
// every value from a request goes in as a bound parameter, never into the text.
// A connection is used by one thread at a time, whichever holds its lease from the store's
// pool (the HTTP pool threads, the housekeeper, the main thread); connections share nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sql_value {
    enum class kind { null, integer, text, blob } type = kind::null;
    int64_t integer = 0;
    std::string bytes;

    sql_value() = default;
    sql_value(int64_t v) : type(kind::integer), integer(v) {}
    sql_value(int v) : type(kind::integer), integer(v) {}
    sql_value(uint32_t v) : type(kind::integer), integer(v) {}
    sql_value(std::string v) : type(kind::text), bytes(std::move(v)) {}
    sql_value(const char* v) : type(kind::text), bytes(v) {}
    static sql_value blob(std::string v) {
        sql_value s(std::move(v));
        s.type = kind::blob;
        return s;
    }
};

struct sql_row {
    std::vector<std::optional<std::string>> cells;
    bool null(size_t i) const { return !cells.at(i); }
    const std::string& text(size_t i) const;
    int64_t integer(size_t i) const;
};

struct sql_result {
    std::vector<sql_row> rows;
    int64_t changed = 0;  // rows changed by an INSERT, UPDATE or DELETE
};

// A failed statement. `conflict` marks a unique or primary key that was already there;
// `lost` a connection that cannot be used again.
struct sql_error : std::runtime_error {
    sql_error(const std::string& what, bool conflict_ = false, bool lost_ = false)
        : std::runtime_error(what), conflict(conflict_), lost(lost_) {}
    bool conflict;
    bool lost;
};

class sql_connection {
public:
    virtual ~sql_connection() = default;
    // Throws sql_error. `blob_results`: the result's columns are all blobs, read as bytes.
    virtual sql_result run(const std::string& sql, const std::vector<sql_value>& params = {},
                           bool blob_results = false) = 0;
    // A transaction that will write: it holds the rows it reads until commit.
    virtual void begin_write() = 0;
    void commit() { run("COMMIT"); }
    void rollback();
    // Appended to a SELECT that reads a row the transaction will change.
    virtual const char* lock_rows() const = 0;
    // The one clock of a round's notices, in milliseconds, and the wall clock.
    virtual int64_t round_clock_ms() = 0;
    virtual int64_t wall_ms() = 0;
    virtual bool shared() const = 0;  // several boards may use the database at once
};

std::unique_ptr<sql_connection> open_sqlite(const std::string& path);   // sqlite_connection.cpp
std::unique_ptr<sql_connection> open_postgres(const std::string& url);  // postgres_connection.cpp

// `database` empty: SQLite in `data_dir`/board.sqlite. Otherwise a postgresql:// URL.
std::unique_ptr<sql_connection> open_sql(const std::string& database, const std::string& data_dir);

int64_t system_wall_ms();
