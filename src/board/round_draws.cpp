// The draws and digests live in tables of their own beside the tickets and notices (made
// with the store's other tables); each
// tick's row is keyed by its frame, so a tick sent again, or sent twice under two seqs to
// two boards at once, gets the one value drawn first.
#include "board/round_draws.h"

#include "board/store_calls.h"
#include "board/tickets.h"
#include "play/board_terms.h"
#include "play/input_digest.h"

namespace {

tick_answer refused(int status, const std::string& why) {
    tick_answer a;
    a.status = status;
    a.error = why;
    a.final = true;
    return a;
}

}  // namespace

std::string tick_too_early(const std::vector<stamped_notice>& notices, int64_t tick_seq) {
    if (notices.empty() || notices.front().event != notice_event::start) return "";
    const int64_t started = notices.front().at_ms;
    int64_t paused = 0, pause_began = -1;
    for (const stamped_notice& n : notices) {
        if (n.seq == tick_seq) {
            // A pause still open counts as far as the tick.
            const int64_t paused_here = paused + (pause_began >= 0 ? n.at_ms - pause_began : 0);
            const int64_t elapsed = n.at_ms - started;
            // The time paused is no play: the allowance is on the round's own clock alone.
            if (!notice_too_fast(elapsed - paused_here, clock_bounds(n.frame).low_ms)) return "";
            return "too fast: the tick at frame " + std::to_string(n.frame) + " came " + std::to_string(elapsed) +
                   " ms after the start";
        }
        if (n.event == notice_event::pause && pause_began < 0) pause_began = n.at_ms;
        if (n.event == notice_event::resume && pause_began >= 0) {
            paused += n.at_ms - pause_began;
            pause_began = -1;
        }
    }
    return "";
}

tick_answer answer_tick(board_store& store, const std::string& ticket, const notice_body& n, bool timed) {
    if (n.frame <= 0 || n.frame % frames_between_ticks != 0)
        return refused(400, "a tick comes every " + std::to_string(frames_between_ticks) + " frames");
    const std::string early = timed ? tick_too_early(store.notices(ticket), n.seq) : "";
    board_store::lease c(store);
    return in_transaction(c, [&] {
        if (!early.empty()) {
            c->run("INSERT INTO refused_rounds (ticket, reason) VALUES ($1, $2) ON CONFLICT (ticket) DO NOTHING",
                   {ticket, early});
            return refused(422, early);
        }
        c->run("INSERT INTO round_draws (ticket, frame, ended, digest, value) VALUES ($1, $2, 0, $3, $4) "
               "ON CONFLICT (ticket, frame, ended) DO NOTHING",
               {ticket, n.frame, n.digest, static_cast<int64_t>(random_seed())});
        tick_answer a;
        a.value = static_cast<uint32_t>(
            c->run("SELECT value FROM round_draws WHERE ticket = $1 AND frame = $2 AND ended = 0", {ticket, n.frame})
                .rows.at(0)
                .integer(0));
        return a;
    });
}

void keep_end_digest(board_store& store, const std::string& ticket, const notice_body& n) {
    board_store::lease c(store);
    marking_lost(c, [&] {
        return c->run("INSERT INTO round_draws (ticket, frame, ended, digest, value) VALUES ($1, $2, 1, $3, 0) "
                      "ON CONFLICT (ticket, frame, ended) DO NOTHING",
                      {ticket, n.frame, n.digest});
    });
}

std::string round_refusal(board_store& store, const std::string& ticket) {
    board_store::lease c(store);
    return marking_lost(c, [&] {
        const sql_result r = c->run("SELECT reason FROM refused_rounds WHERE ticket = $1", {ticket});
        return r.rows.empty() ? std::string() : r.rows[0].text(0);
    });
}

std::vector<round_commitment> round_commitments(board_store& store, const std::string& ticket) {
    board_store::lease c(store);
    return marking_lost(c, [&] {
        std::vector<round_commitment> out;
        const sql_result r = c->run(
            "SELECT frame, ended, digest, value FROM round_draws WHERE ticket = $1 ORDER BY frame, ended", {ticket});
        for (const sql_row& row : r.rows)
            out.push_back({static_cast<int32_t>(row.integer(0)), row.integer(1) != 0, row.text(2),
                           static_cast<uint32_t>(row.integer(3))});
        return out;
    });
}

std::string commitment_problem(const std::vector<round_commitment>& c, const replay& r) {
    std::vector<int32_t> frames;
    bool ended = false;
    for (const round_commitment& k : c) {
        frames.push_back(k.frame);
        ended = ended || (k.end && k.frame == r.frames);
    }
    if (!ended) return "missing notices: no digest of the round's input at its end";
    const std::vector<std::string> digests = replay_input_digests(r, frames);
    for (size_t i = 0; i < c.size(); ++i)
        if (digests[i] != c[i].digest)
            return "does not verify: its input is not what the " + std::string(c[i].end ? "end" : "tick") +
                   " at frame " + std::to_string(c[i].frame) + " committed";
    // The values drawn for the ticks whose frames the round reached, each in its place.
    const int32_t due = values_mixed_in(r.frames);
    int32_t given = 0;
    for (const round_commitment& k : c) {
        if (k.end || k.frame + value_delay_frames > r.frames) continue;
        if (k.frame != (given + 1) * frames_between_ticks) break;
        if (given >= static_cast<int32_t>(r.value_count) || r.values[given] != k.value)
            return "does not verify: it mixed in other values than the board drew for its ticks";
        ++given;
    }
    if (given != due) return "missing notices: no value was drawn for the tick at frame " +
                             std::to_string((given + 1) * frames_between_ticks);
    if (static_cast<int32_t>(r.value_count) != due)
        return "does not verify: it mixed in other values than the board drew for its ticks";
    return "";
}

