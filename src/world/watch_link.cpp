// Watch links, written and read.
#include "world/watch_link.h"

#include <atomic>
#include <cctype>

#include "records/replay_file.h"
#include "world/http_lane.h"

namespace {

bool round_id(const std::string& text) {
    if (text.size() != 16) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

std::string watch_link(const std::string& board_url, const std::string& id) {
    if (board_url.empty() || id.empty()) return "";
    return board_url + "/watch/" + id;
}

bool is_web_address(const std::string& text) {
    return text.compare(0, 7, "http://") == 0 || text.compare(0, 8, "https://") == 0;
}

bool replay_address_of(const std::string& link, std::string* replay_address) {
    if (!is_web_address(link)) return false;
    // A moment in the round (?frame=N) or a fragment changes nothing of the replay.
    const std::string bare = link.substr(0, link.find_first_of("?#"));
    const size_t at = bare.rfind("/watch/");
    const size_t host_start = bare.find("://") + 3;
    if (at == std::string::npos || at < host_start) return false;
    const std::string id = bare.substr(at + 7);
    if (!round_id(id)) return false;
    *replay_address = bare.substr(0, at) + "/api/v1/replays/" + id;
    return true;
}

bool download_linked_replay(const std::string& link, std::string* bytes, std::string* why) {
    std::string address;
    if (!replay_address_of(link, &address)) {
        *why = "\"" + link + "\" is no round's link: it ends in /watch/ and the round's 16-digit id";
        return false;
    }
    http_request r;
    r.url = address;
    r.answer_limit = replay_file_room;
    r.tries = 2;
    const std::atomic<bool> never{false};
    http_client client;
    const http_answer a = client.perform(r, never);
    if (a.status == 200 && !a.body.empty()) {
        *bytes = a.body;
        return true;
    }
    if (a.status == 0)
        *why = "the world table at \"" + address.substr(0, address.rfind("/api/v1/")) +
               "\" cannot be reached: " + (a.error.empty() ? failure_words(a.failure) : a.error);
    else if (a.status == 404)
        *why = "the world table has no such round (it may have been removed)";
    else
        *why = "the world table answered " + std::to_string(a.status) + " for the round's replay";
    return false;
}
