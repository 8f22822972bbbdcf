// Tickets: a round's admission, signed by the board so a forged one costs no storage look-up.
// A ticket is 80 hex digits: its id (32), the board's wall time when it was made in
// milliseconds (16) and the first half of an HMAC-SHA256 (32) over both and the player key,
// under a secret that the board makes once and keeps.
// The main thread loads the secret at start-up; after that the HTTP pool threads make and
// read tickets at once, sharing only the secret, which nothing writes again.
#pragma once

#include <cstdint>
#include <string>

struct ticket_secret {
    unsigned char key[32];
};

// BLOCKDASH_BOARD_SECRET (64 hex digits) when set, so several boards share one; otherwise
// `dir`/ticket-secret, made on first use (owner-only; refused when others may read it).
// False with the reason.
bool load_ticket_secret(const std::string& dir, ticket_secret& secret, std::string& problem);

// BLOCKDASH_BOARD_SECRET alone: `given` says whether it is set; false when it is set but is
// not 64 hex digits (empty included).
bool secret_from_environment(ticket_secret& secret, bool& given, std::string& problem);
bool secret_from_hex(const std::string& hex, ticket_secret& secret);

struct ticket_fields {
    std::string id;  // 32 hex digits, lower case
    int64_t issued_ms = 0;
};

std::string make_ticket(const ticket_secret& secret, const std::string& player_key, const ticket_fields& t);

// True when `text` is a ticket this board made for `player_key`.
bool read_ticket(const ticket_secret& secret, const std::string& text, const std::string& player_key,
                 ticket_fields& t);

// Hex digits from the system's random source: ids of tickets and rounds.
std::string random_hex(size_t digits);
uint32_t random_seed();

// SHA-256 of the bytes, in hex.
std::string sha256_hex(const std::string& bytes);
