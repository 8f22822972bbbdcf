// A board round revealed as it is played: the value the board draws for each tick, given
// only in answer to that tick and only once the round can have reached its frame, and the
// digest of the input each tick and the end committed. A round that asked too early is
// refused as it goes; a round sent is checked against all of it before it is replayed.
// Called by the HTTP pool threads (each call on a connection leased for its length) and,
// for the clearing out, the housekeeper thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board_store.h"
#include "board/request_input.h"
#include "board/timing_rule.h"
#include "records/replay_file.h"

struct tick_answer {
    int status = 200;
    std::string error;
    uint32_t value = 0;
    bool final = false;
};

// The tick `n` has been kept as a notice: its value, the one drawn the first time the tick
// at its frame came. `timed`: a tick that came before the round could have reached its frame
// is refused, and the round with it.
tick_answer answer_tick(board_store& store, const std::string& ticket, const notice_body& n, bool timed);

// The end notice `n` has been kept: its digest too.
void keep_end_digest(board_store& store, const std::string& ticket, const notice_body& n);

// Why the round was refused as it went; empty when it was not.
std::string round_refusal(board_store& store, const std::string& ticket);

// What a round committed and was given, in the order of its frames.
struct round_commitment {
    int32_t frame = 0;
    bool end = false;
    std::string digest;
    uint32_t value = 0;  // a tick's
};
std::vector<round_commitment> round_commitments(board_store& store, const std::string& ticket);

// Why `r` is not the round that committed `c` and mixed in the values drawn for it; empty
// when it is.
std::string commitment_problem(const std::vector<round_commitment>& c, const replay& r);

// Why the tick of seq `tick_seq` among `notices` (in seq order, the start first) came before
// the round could have reached its frame; empty when it came in time.
std::string tick_too_early(const std::vector<stamped_notice>& notices, int64_t tick_seq);
