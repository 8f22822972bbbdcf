// The world table this machine plays for, kept in "KZ DATA//board.txt": the board's
// address (none: the board is off), the player key made once on this machine, and the
// initials last typed, for a board round that enters no local row.
// Thread: read and first written by the main thread at start-up (the command line's
// --board); the initials are saved later on the client's sender thread.
#pragma once

#include <string>

extern const char* const board_settings_path;

struct board_settings {
    std::string url;       // empty: off
    std::string key;       // 32 hex digits; empty until the board is first turned on
    std::string initials;  // three of A-Z; "---" before any were typed
};

// What the file says; all empty (and "---") when it is missing or unreadable.
board_settings read_board_settings();

// Saves the whole file atomically under the data folder's lock. A file that is there but
// cannot be read is kept aside first, never lost. False (and a line on stderr) on failure.
bool save_board_settings(const board_settings& settings);

// The command line's --board: `url` turns the board on (a key is made the first time),
// "off" turns it off. Returns what is now in force; false and `why` for an address the
// game will not use.
bool set_board(const std::string& url_or_off, board_settings* now, std::string* why);

// 32 random hex digits from the system's generator.
std::string new_player_key();

// A key as the board takes it: 32 hex digits.
bool is_player_key(const std::string& key);

// The initials of a new local row: the name a board round goes under when it enters none.
void remember_initials(const char name[3]);
