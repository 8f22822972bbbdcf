// Rounds for the board's tests and benchmarks, played headless at full speed by the game's
// own rules from a seed the board drew.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "records/replay_file.h"

namespace board_testing {

// Allegro without a display and the stand-in art; once per process.
void start_headless_rules();

// Plays one round from `seed` to its time-out and leaves its replay in `out`, under `name`.
// `frames_per_click` 0: the hand never clicks, so blocks reach the floor and the round runs
// out early; otherwise it clicks at the block nearest the floor that often: busy rounds.
// Nothing is revealed to it: a local round, as one searched offline from its seed would be.
// `real_time`: on the machine's own clock, drawing every frame, as the game plays.
void play_round(unsigned seed, int frames_per_click, const char* name, replay& out, bool real_time = false);

// Posts one notice's JSON body; gives back the status (0 for no answer) and the answer.
using notice_poster = std::function<int(const std::string& body, std::string& answer)>;
// Called before each tick and the end with its frame and the round's own clock there, in ms.
using notice_timer = std::function<void(int32_t frame, int own_ms)>;

struct board_play {
    bool played = false;  // the board answered every notice as it should
    std::string problem;  // else what went wrong, with the board's answer
    int status = 0;       // and its status
    uint32_t seed = 0;
};

// A round played for the board as the game plays it: the start's seed, the input committed
// at each tick, each tick's value mixed in at its frame, the end. `out` gets the replay.
board_play play_for_board(const notice_poster& post, int frames_per_click, const char* name, replay& out,
                          const notice_timer& before = nullptr);

// `r` with the pointer of frame `frame` (1 on) moved by a pixel, written as the game would:
// a replay that reads as well as the round did, and differs from it in that frame alone.
void move_pointer_at(replay& r, int32_t frame);

// The replay's file bytes.
std::string replay_bytes(const replay& r);

}  // namespace board_testing
