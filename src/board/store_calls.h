// How every store call runs on its leased connection: in a write transaction or as a plain
// statement, and a connection that was lost is never given back to the pool.
// Only the store's own files include this.
#pragma once

#include "board/sql_connection.h"

// Runs `work` in a write transaction and commits; on a failure rolls back and passes it on.
// `c` is a board_store::lease.
template <typename Lease, typename Work>
auto in_transaction(Lease& c, Work work) {
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
template <typename Lease, typename Work>
auto marking_lost(Lease& c, Work work) {
    try {
        return work();
    } catch (const sql_error& e) {
        if (e.lost) c.lost();
        throw;
    }
}
