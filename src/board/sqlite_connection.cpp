// The board in one SQLite file: WAL, so readers never wait for the writer, and every commit
// on the disk before it returns.
// One leasing thread at a time uses a connection (SQLITE_OPEN_NOMUTEX); the connections of
// one board share only the file, through SQLite's own locks.
#include <sqlite3.h>

#include "board/sql_connection.h"
#include "platform/monotonic_clock.h"

namespace {

class sqlite_connection : public sql_connection {
public:
    explicit sqlite_connection(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            db_ = nullptr;
            throw sql_error("cannot open " + path + ": " + why, false, true);
        }
        sqlite3_busy_timeout(db_, 10000);
        run("PRAGMA journal_mode=WAL");
        run("PRAGMA synchronous=FULL");
        run("PRAGMA foreign_keys=ON");
    }
    ~sqlite_connection() override {
        for (auto& [sql, stmt] : prepared_) sqlite3_finalize(stmt);
        sqlite3_close(db_);
    }

    sql_result run(const std::string& sql, const std::vector<sql_value>& params = {}, bool = false) override {
        sqlite3_stmt* stmt = prepare(sql);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        for (size_t i = 0; i < params.size(); ++i) {
            const std::string name = "$" + std::to_string(i + 1);
            const int at = sqlite3_bind_parameter_index(stmt, name.c_str());
            if (at == 0) continue;
            const sql_value& v = params[i];
            switch (v.type) {
                case sql_value::kind::null: sqlite3_bind_null(stmt, at); break;
                case sql_value::kind::integer: sqlite3_bind_int64(stmt, at, v.integer); break;
                case sql_value::kind::text:
                    sqlite3_bind_text(stmt, at, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
                    break;
                case sql_value::kind::blob:
                    sqlite3_bind_blob(stmt, at, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
                    break;
            }
        }
        sql_result result;
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) {
                const int extended = sqlite3_extended_errcode(db_);
                const std::string why = sqlite3_errmsg(db_);
                sqlite3_reset(stmt);
                throw sql_error(why, extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY);
            }
            sql_row row;
            const int columns = sqlite3_column_count(stmt);
            for (int c = 0; c < columns; ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                    row.cells.emplace_back();
                    continue;
                }
                const void* bytes = sqlite3_column_blob(stmt, c);
                const int size = sqlite3_column_bytes(stmt, c);
                row.cells.emplace_back(std::string(static_cast<const char*>(bytes), static_cast<size_t>(size)));
            }
            result.rows.push_back(std::move(row));
        }
        result.changed = sqlite3_changes(db_);
        sqlite3_reset(stmt);
        return result;
    }

    void begin_write() override { run("BEGIN IMMEDIATE"); }
    const char* lock_rows() const override { return ""; }

    // One server, one clock: the monotonic one, which no change of the wall clock moves.
    int64_t round_clock_ms() override { return monotonic_ms(); }
    int64_t wall_ms() override { return system_wall_ms(); }
    bool shared() const override { return false; }

private:
    sqlite3* db_ = nullptr;
    std::vector<std::pair<std::string, sqlite3_stmt*>> prepared_;

    sqlite3_stmt* prepare(const std::string& sql) {
        for (auto& [text, stmt] : prepared_)
            if (text == sql) return stmt;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK)
            throw sql_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
        prepared_.emplace_back(sql, stmt);
        return stmt;
    }
};

}  // namespace

std::unique_ptr<sql_connection> open_sqlite(const std::string& path) { return std::make_unique<sqlite_connection>(path); }
