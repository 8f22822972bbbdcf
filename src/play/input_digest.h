// A round's input committed as it goes: SHA-256 over every frame's input from the first
// frame on, each frame in one fixed form. The game sends the digest with each tick and the
// end; the board works it out again from the replay, so the input before a tick cannot
// change once the tick is sent. Both sides use this one definition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/replay_file.h"

struct evp_md_ctx_st;

// Fed one frame at a time; reading the digest so far leaves the running one as it was, and
// neither allocates once made, so a frame of play can do both.
class input_digest {
public:
    input_digest();
    ~input_digest();
    input_digest(const input_digest&) = delete;
    input_digest& operator=(const input_digest&) = delete;

    void add(const round_input& in);
    // 64 lower-case hex digits over the frames added so far.
    std::string hex() const;
    int32_t frames() const { return frames_; }

private:
    evp_md_ctx_st* running_;
    evp_md_ctx_st* reading_;
    int32_t frames_ = 0;
};

// The digest of `r`'s input over its first f frames, for each f of `frames` (ascending,
// each at most r.frames); an empty string for one beyond them.
std::vector<std::string> replay_input_digests(const replay& r, const std::vector<int32_t>& frames);

// 64 hex digits, lower case: the form digests travel in.
bool looks_like_digest(const std::string& text);
