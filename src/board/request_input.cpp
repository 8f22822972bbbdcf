// Readers for the parts of a request the board parses itself.
#include "board/request_input.h"

#include <nlohmann/json.hpp>

#include "platform/hex_text.h"
#include "play/input_digest.h"
#include "records/replay_file.h"

namespace {

// Plain decimal digits only, no sign, no spaces, within [low, high].
bool read_number(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    out = v;
    return true;
}

const std::string* first(const std::multimap<std::string, std::string>& params, const char* name) {
    const auto it = params.find(name);
    return it == params.end() ? nullptr : &it->second;
}

// A JSON integer within [low, high]; an unsigned one is compared as such, so a huge
// number cannot wrap into range.
bool integer_in(const nlohmann::json& v, int64_t low, int64_t high, int64_t& out) {
    if (v.is_number_unsigned()) {
        const uint64_t u = v.get<uint64_t>();
        if (u > static_cast<uint64_t>(high)) return false;
        out = static_cast<int64_t>(u);
    } else {
        out = v.get<int64_t>();
    }
    return out >= low && out <= high;
}

}  // namespace

bool read_player_key(const std::string& text, std::string& key) {
    if (!is_hex_text(text, 32)) return false;
    key = text;
    for (char& c : key)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    return true;
}

const char* event_name(notice_event e) {
    switch (e) {
        case notice_event::start: return "start";
        case notice_event::tick: return "tick";
        case notice_event::pause: return "pause";
        case notice_event::resume: return "resume";
        case notice_event::end: return "end";
    }
    return "";
}

bool read_notice_body(const std::string& body, notice_body& out, std::string& problem) {
    if (body.size() > notice_body_room) {
        problem = "the notice is too long";
        return false;
    }
    const nlohmann::json j = nlohmann::json::parse(body, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        problem = "the notice is not a JSON object";
        return false;
    }
    const auto seq = j.find("seq"), frame = j.find("frame"), event = j.find("event");
    if (seq == j.end() || frame == j.end() || event == j.end() || !seq->is_number_integer() ||
        !frame->is_number_integer() || !event->is_string()) {
        problem = "a notice needs seq, frame and event";
        return false;
    }
    int64_t seq_value = 0, frame_value = 0;
    if (!integer_in(*seq, 0, notice_seq_limit - 1, seq_value)) {
        problem = "seq is out of range";
        return false;
    }
    if (!integer_in(*frame, 0, replay_frame_limit, frame_value)) {
        problem = "frame is out of range";
        return false;
    }
    const std::string& name = event->get_ref<const std::string&>();
    static const notice_event events[] = {notice_event::start, notice_event::tick, notice_event::pause,
                                          notice_event::resume, notice_event::end};
    bool known = false;
    for (notice_event e : events)
        if (name == event_name(e)) {
            out.event = e;
            known = true;
        }
    if (!known) {
        problem = "event is none of start, tick, pause, resume, end";
        return false;
    }
    // A tick and the end commit the input so far; no other notice does.
    const auto digest = j.find("digest");
    const bool commits = out.event == notice_event::tick || out.event == notice_event::end;
    if (commits != (digest != j.end()) ||
        (commits && (!digest->is_string() || !looks_like_digest(digest->get_ref<const std::string&>())))) {
        problem = commits ? "a tick or an end needs the digest of the input so far (64 hex digits)"
                          : "only a tick or an end carries a digest";
        return false;
    }
    out.seq = seq_value;
    out.frame = static_cast<int32_t>(frame_value);
    out.digest = commits ? digest->get<std::string>() : "";
    return true;
}

const char* period_name(board_period p) {
    switch (p) {
        case board_period::all: return "all";
        case board_period::week: return "week";
        case board_period::day: return "day";
    }
    return "";
}

bool read_board_query(const std::multimap<std::string, std::string>& params, board_query& q,
                      std::string& problem) {
    q = board_query{};
    if (const std::string* p = first(params, "period")) {
        if (*p == "all") q.period = board_period::all;
        else if (*p == "week") q.period = board_period::week;
        else if (*p == "day") q.period = board_period::day;
        else {
            problem = "period is none of all, week, day";
            return false;
        }
    }
    if (const std::string* l = first(params, "limit"); l && !read_number(*l, 1, board_limit_most, q.limit)) {
        problem = "limit is not a whole number from 1 to 100";
        return false;
    }
    if (const std::string* o = first(params, "offset"); o && !read_number(*o, 0, board_offset_most, q.offset)) {
        problem = "offset is not a whole number from 0 to 1000000";
        return false;
    }
    return true;
}

bool read_round_id(const std::string& text) { return is_hex_text(text, 16, true); }

