// Thread: any (pure functions of an answer).
#include "world/board_answer.h"

#include <nlohmann/json.hpp>


using json = nlohmann::json;

const char* const unreadable_answer_words = "its answer could not be read";

http_request ticketed_post(const std::string& url, const std::string& key, const std::string& ticket,
                           const char* content_type) {
    http_request r;
    r.method = "POST";
    r.url = url;
    r.headers.push_back("X-Player-Key: " + key);
    r.headers.push_back("X-Ticket: " + ticket);
    r.headers.push_back(std::string("Content-Type: ") + content_type);
    return r;
}

std::string board_error_words(const http_answer& a) {
    if (a.status == 0) return failure_words(a.failure);
    const json body = json::parse(a.body, nullptr, false);
    if (body.is_object() && body.contains("error") && body["error"].is_string())
        return body["error"].get<std::string>().substr(0, 120);
    return "it answered " + std::to_string(a.status);
}

bool board_refused_for_good(const http_answer& a) {
    if (a.status < 400 || a.status >= 500) return false;
    const json body = json::parse(a.body, nullptr, false);
    return body.is_object() && body.contains("final") && body["final"].is_boolean() && body["final"].get<bool>();
}
