// A replay: the seed of a round and the input it read on each frame, enough to play it
// again exactly. The file is input from strangers: it is read within fixed bounds and
// checked end to end before anything in it is believed.
#pragma once

#include <cstddef>
#include <cstdint>

// Raised whenever a change to the rules would play an old replay differently.
constexpr uint16_t replay_rules_version = 1;

// What a round reads of the player's mouse in one frame; its steps read nothing else of it.
struct round_input {
    int32_t x = 320;  // the pointer on the 640x480 picture
    int32_t y = 240;
    bool left = false;          // the left button is down, from a press that may act
    bool pressed = false;       // a press that may act began since the last frame
    bool any_button = false;    // some button is down: the dash latch lets go only with none
    bool pause_closed = false;  // the pause menu closed in this frame; its click holds the latch
    bool right = false;  // opens the pause menu, which changes nothing in the round: not kept
};

bool operator==(const round_input& a, const round_input& b);
inline bool operator!=(const round_input& a, const round_input& b) { return !(a == b); }

// What a round takes over from the one before it, in the order play/ fills it: the spawn
// count, the facing and the 13 popups (x, y, timer) still counting down.
constexpr int carried_values = 2 + 13 * 3;

// Enough for rounds of well over an hour at 50 frames a second, whatever the pointer does.
constexpr size_t replay_input_room = 256 * 1024;
constexpr int32_t replay_frame_limit = 360000;
// A board round mixes in a value drawn by the board every few seconds; room for them all.
constexpr uint32_t replay_values_most = 2048;

struct replay {
    char game_version[16];  // NUL-padded
    uint32_t seed;
    int32_t carried[carried_values];
    char name[3];
    int32_t score;       // as shown and stored in the table
    int32_t blocks_cut;  // including those beyond the cap
    int32_t best_combo;
    int32_t frames;  // frames of the round, the one that ran out of time included
    int64_t saved_at;  // seconds since 1970; the newer of two equal rows is the higher one
    uint32_t input_size;
    uint8_t input[replay_input_room];
    // The board's values the round mixed in, in order; none in a local round, whose file
    // keeps the first form byte for byte.
    uint32_t value_count;
    uint32_t values[replay_values_most];
};

// Appends one frame's input at a time, only when it differs from the frame before.
class replay_input_writer {
public:
    explicit replay_input_writer(replay& r);
    // False once the room or the frame limit is used up; the replay is then incomplete.
    bool add(const round_input& in);

private:
    replay& r_;
    round_input last_;
    int32_t frame_ = 0;
    int32_t last_written_ = -1;
};

// Gives back the input of each frame in turn; never reads past the end of the bytes, and
// a stream that ends early just repeats its last input.
class replay_input_reader {
public:
    explicit replay_input_reader(const replay& r);
    round_input next();
    bool damaged() const { return damaged_; }  // the bytes did not decode cleanly

private:
    const replay& r_;
    size_t at_ = 0;
    round_input current_;
    int32_t frame_ = 0;
    int32_t next_change_ = -1;  // frame of the next change; -1 when none is pending
    round_input next_input_;
    bool damaged_ = false;
    void read_change();
};

// The exact bytes of a replay file; at most replay_file_room.
constexpr size_t replay_header_size = 224;
constexpr size_t replay_file_room = replay_header_size + replay_input_room + 4 + 4 * replay_values_most + 8;
size_t write_replay_bytes(const replay& r, uint8_t* out);

enum class replay_status { read, damaged, other_rules, unreadable };

// Reads a replay from bytes in memory: every field checked, the checksum first.
replay_status read_replay_bytes(const uint8_t* bytes, size_t size, replay& r);

// Reads a replay file within replay_file_room bytes. `rules` gets the file's rules version
// when it is another one.
replay_status read_replay_file(const char* path, replay& r, unsigned* rules = nullptr);

// Three of A to Z or '-': the initials a table row, a replay or a world round may carry.
bool initials_fit(const char name[3]);

// One line for the player: why a file cannot be played.
const char* replay_problem(replay_status status);
