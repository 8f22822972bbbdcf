// Thread: the main thread; the lane it asks on has its own.
#include "world/board_ticket.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "platform/host.h"
#include "world/board_answer.h"
#include "world/http_lane.h"

using json = nlohmann::json;

namespace {

constexpr int ticket_request = 1;
constexpr int first_retry_ms = 5000;
constexpr int last_retry_ms = 5 * 60 * 1000;
constexpr std::time_t ticket_kept_s = 23 * 3600;  // a ticket must be started within a day

board_settings board;
std::unique_ptr<http_lane> lane;
std::string in_hand;
std::time_t taken_at = 0;
int rules = 0;
bool asked = false;
int next_ask_ms = 0;
int retry_ms = 0;
std::string trouble;

void note_trouble(const std::string& why) {
    if (why != trouble && !why.empty())
        std::fprintf(stderr, "blockdash: no ticket from the world table at %s: %s\n", board.url.c_str(), why.c_str());
    trouble = why;
}

}  // namespace

void start_tickets(const board_settings& settings) {
    board = settings;
    http_limits quick;
    quick.connect_ms = 3000;
    quick.transfer_ms = 4000;
    lane.reset(new http_lane(quick));
    in_hand.clear();
    asked = false;
    next_ask_ms = retry_ms = 0;
    trouble.clear();
}

void stop_tickets() { lane.reset(); }

void ask_for_ticket() {
    if (asked || !lane || !in_hand.empty() || now_ms() < next_ask_ms) return;
    asked = true;
    http_request r;
    r.id = ticket_request;
    r.method = "POST";
    r.url = board.url + "/api/v1/tickets";
    r.headers.push_back("X-Player-Key: " + board.key);
    r.headers.push_back("Content-Type: application/json");
    r.body = "{}";
    lane->send(r);
}

void ask_for_ticket_now() {
    next_ask_ms = 0;
    ask_for_ticket();
}

namespace {

void take_ticket_answer(const http_answer& a) {
    asked = false;
    retry_ms = std::min(std::max(retry_ms * 2, first_retry_ms), last_retry_ms);
    next_ask_ms = now_ms() + retry_ms;
    if (a.status != 201 && a.status != 200) {
        note_trouble(board_error_words(a));
        return;
    }
    const json body = json::parse(a.body, nullptr, false);
    if (!body.is_object() || !body.contains("ticket") || !body["ticket"].is_string() || !body.contains("rules") ||
        !body["rules"].is_number_integer() || body["ticket"].get<std::string>().empty() ||
        body["ticket"].get<std::string>().size() > 512) {
        note_trouble(unreadable_answer_words);
        return;
    }
    retry_ms = 0;
    next_ask_ms = 0;
    in_hand = body["ticket"].get<std::string>();
    taken_at = std::time(nullptr);
    rules = body["rules"].get<int>();
    trouble.clear();
}

}  // namespace

void take_ticket_answers() {
    http_answer a;
    while (lane && lane->take(&a)) take_ticket_answer(a);
}

void keep_ticket_fresh() {
    if (!in_hand.empty() && std::time(nullptr) - taken_at > ticket_kept_s) in_hand.clear();
}

bool ticket_in_hand() { return !in_hand.empty(); }
bool ticket_on_its_way() { return asked; }

std::string spend_ticket() {
    std::string t;
    t.swap(in_hand);
    return t;
}

int ticket_rules() { return rules; }
const std::string& ticket_trouble() { return trouble; }
