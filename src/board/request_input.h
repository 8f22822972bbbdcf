// What the board reads out of strangers' requests: the player key, a notice's body and the
// board's query. Each reader is bounded, believes nothing it has not checked, and is fuzzed.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// 32 hex digits, made by the game once; kept in lower case.
bool read_player_key(const std::string& text, std::string& key);

enum class notice_event { start = 0, tick = 1, pause = 2, resume = 3, end = 4 };
const char* event_name(notice_event e);

constexpr size_t notice_body_room = 1024;
constexpr int64_t notice_seq_limit = 100000;

// {"seq": N, "frame": F, "event": "start"|"tick"|"pause"|"resume"|"end", "digest": D}, the
// digest (64 hex digits of the input up to the frame) on a tick and the end only.
struct notice_body {
    int64_t seq = 0;
    int32_t frame = 0;
    notice_event event = notice_event::start;
    std::string digest;
};
// False with the reason when the body is not one.
bool read_notice_body(const std::string& body, notice_body& out, std::string& problem);

enum class board_period { all = 0, week = 1, day = 2 };
const char* period_name(board_period p);

constexpr int board_limit_most = 100;
constexpr int board_offset_most = 1000000;

struct board_query {
    board_period period = board_period::all;
    int limit = 10;
    int offset = 0;
};
// period=all|week|day&limit=N&offset=K, each optional; the first of a repeated one counts.
bool read_board_query(const std::multimap<std::string, std::string>& params, board_query& q,
                      std::string& problem);

// A round's id as the board makes them: 16 hex digits.
bool read_round_id(const std::string& text);
