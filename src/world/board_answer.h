// Speaking with the board the same way for every request: a round's POST carries its
// ticket in a header; and what the board answers is read alike, its own words for a
// refusal, the player's words for no answer, and which refusals are its last word.
// Thread: any; these only read their arguments.
#pragma once

#include <string>

#include "world/http_lane.h"

// A POST for the round of `ticket`: the player's key and the ticket go in headers, never
// in the URL, where a proxy's log would keep the ticket.
http_request ticketed_post(const std::string& url, const std::string& key, const std::string& ticket,
                           const char* content_type);

// Why a request did not get what it asked for, in a player's words.
std::string board_error_words(const http_answer& a);

// The board itself refused for good: a 4xx whose body says it is the board's final word.
// A round so refused is set aside, never sent again. Anything else (no answer, a proxy's
// 404, 408, 429, 5xx, a refusal that does not say so) is tried again later.
bool board_refused_for_good(const http_answer& a);

// Said for an answer that came but could not be read.
extern const char* const unreadable_answer_words;
