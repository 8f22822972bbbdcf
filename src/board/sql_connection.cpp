// What the two connections share, and the choice between them.
// Called by whichever thread holds the connection's lease.
#include "board/sql_connection.h"

#include <chrono>
#include <cstdlib>

const std::string& sql_row::text(size_t i) const {
    static const std::string none;
    return cells.at(i) ? *cells[i] : none;
}

int64_t sql_row::integer(size_t i) const { return cells.at(i) ? std::strtoll(cells[i]->c_str(), nullptr, 10) : 0; }

void sql_connection::rollback() {
    try {
        run("ROLLBACK");
    } catch (const sql_error&) {
        // Nothing was open, or the connection is gone: either way nothing was kept.
    }
}

std::unique_ptr<sql_connection> open_sql(const std::string& database, const std::string& data_dir) {
    if (database.empty()) return open_sqlite(data_dir + "/board.sqlite");
    return open_postgres(database);
}

int64_t system_wall_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
