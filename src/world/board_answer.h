// Reading what the board answers, the same way for every request: its own words for a
// refusal, the player's words for no answer, and which refusals are the board's last word.
// Thread: any; these only read their arguments.
#pragma once

#include <string>

#include "world/http_lane.h"

// Why a request did not get what it asked for, in a player's words.
std::string board_error_words(const http_answer& a);

// The board refused for good: a round so refused is set aside, never sent again. A board
// away, busy or failing (no answer, 408, 429, 5xx) is tried again later.
bool board_refused_for_good(const http_answer& a);

// Percent-escapes all but the unreserved characters, for a URL's query or path.
std::string url_escaped(const std::string& s);

// Said for an answer that came but could not be read.
extern const char* const unreadable_answer_words;
