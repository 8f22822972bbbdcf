// Thread: any (pure functions of an answer).
#include "world/board_answer.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdio>

using json = nlohmann::json;

const char* const unreadable_answer_words = "its answer could not be read";

std::string board_error_words(const http_answer& a) {
    if (a.status == 0) return failure_words(a.failure);
    const json body = json::parse(a.body, nullptr, false);
    if (body.is_object() && body.contains("error") && body["error"].is_string())
        return body["error"].get<std::string>().substr(0, 120);
    return "it answered " + std::to_string(a.status);
}

bool board_refused_for_good(const http_answer& a) {
    return a.status >= 400 && a.status < 500 && a.status != 408 && a.status != 429;
}

std::string url_escaped(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}
