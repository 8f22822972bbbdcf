// Replaying submitted rounds. The rules live in process globals, so one worker thread does
// every replay of the process, one at a time; the HTTP threads hand rounds to it and wait.
// The main thread starts and stops it; the queue of jobs is all the threads share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "play/round_replay.h"
#include "records/replay_file.h"

struct verification {
    bool done = false;  // false: the worker's queue was full, or it has stopped
    replay_outcome outcome{};
    std::vector<int32_t> clock_after;  // the round's own clock after each number of frames, in ms
};

// Starts the worker thread. False with the reason.
bool start_verifier(std::string& problem);
void stop_verifier();

// Replays `r` on the worker; blocks until it is done.
verification verify_on_worker(const replay& r);

// The same on the calling thread, for tools that have the rules to themselves
// (prepare_headless_replay() done).
verification verify_here(const replay& r);
