// The board in PostgreSQL, through libpq: several boards share one database, and the
// database's own clock stamps every notice, so a round's notices may reach different boards.
// One leasing thread at a time uses a connection; what is shared lives in the database.
#include <libpq-fe.h>

#include <cstring>

#include "board/sql_connection.h"

namespace {

class postgres_connection : public sql_connection {
public:
    explicit postgres_connection(const std::string& url) : db_(PQconnectdb(url.c_str())) {
        if (!db_ || PQstatus(db_) != CONNECTION_OK) {
            const std::string why = db_ ? PQerrorMessage(db_) : "out of memory";
            PQfinish(db_);
            db_ = nullptr;
            throw sql_error("cannot connect to PostgreSQL: " + trimmed(why), false, true);
        }
        run("SET client_min_messages = warning");
    }
    ~postgres_connection() override { PQfinish(db_); }

    sql_result run(const std::string& sql, const std::vector<sql_value>& params = {}, bool blob_results = false) override {
        std::vector<const char*> values(params.size());
        std::vector<int> lengths(params.size()), formats(params.size());
        std::vector<std::string> numbers(params.size());
        for (size_t i = 0; i < params.size(); ++i) {
            const sql_value& v = params[i];
            switch (v.type) {
                case sql_value::kind::null: values[i] = nullptr; break;
                case sql_value::kind::integer:
                    numbers[i] = std::to_string(v.integer);
                    values[i] = numbers[i].c_str();
                    break;
                case sql_value::kind::text: values[i] = v.bytes.c_str(); break;
                case sql_value::kind::blob:
                    values[i] = v.bytes.data();
                    lengths[i] = static_cast<int>(v.bytes.size());
                    formats[i] = 1;
                    break;
            }
        }
        PGresult* res = PQexecParams(db_, sql.c_str(), static_cast<int>(params.size()), nullptr, values.data(),
                                     lengths.data(), formats.data(), blob_results ? 1 : 0);
        const ExecStatusType status = PQresultStatus(res);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            const char* state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
            const bool conflict = state && std::strcmp(state, "23505") == 0;
            const std::string why = trimmed(PQerrorMessage(db_));
            PQclear(res);
            throw sql_error(why, conflict, PQstatus(db_) != CONNECTION_OK);
        }
        sql_result result;
        const int rows = PQntuples(res), columns = PQnfields(res);
        for (int r = 0; r < rows; ++r) {
            sql_row row;
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(res, r, c)) row.cells.emplace_back();
                else row.cells.emplace_back(std::string(PQgetvalue(res, r, c), static_cast<size_t>(PQgetlength(res, r, c))));
            }
            result.rows.push_back(std::move(row));
        }
        const char* changed = PQcmdTuples(res);
        result.changed = changed && *changed ? std::strtoll(changed, nullptr, 10) : 0;
        PQclear(res);
        return result;
    }

    void begin_write() override { run("BEGIN"); }
    const char* lock_rows() const override { return " FOR UPDATE"; }
    int64_t round_clock_ms() override { return wall_ms(); }
    int64_t wall_ms() override {
        return run("SELECT (extract(epoch FROM clock_timestamp()) * 1000)::bigint").rows.at(0).integer(0);
    }
    bool shared() const override { return true; }

private:
    PGconn* db_;

    static std::string trimmed(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
        return s;
    }
};

}  // namespace

std::unique_ptr<sql_connection> open_postgres(const std::string& url) { return std::make_unique<postgres_connection>(url); }
