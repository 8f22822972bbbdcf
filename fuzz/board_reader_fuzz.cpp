// What the board parses itself out of strangers' requests: the ticket, the player key, a
// notice's body, the board's query, and the notices a round is timed by. The first byte
// picks which; the rest is the input. Each reader must refuse or give a value in range.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "board/request_input.h"
#include "board/tickets.h"
#include "board/timing_rule.h"
#include "play/input_digest.h"
#include "reader_check.h"
#include "records/replay_file.h"

namespace {

ticket_secret fixed_secret() {
    ticket_secret s;
    for (size_t i = 0; i < sizeof s.key; ++i) s.key[i] = static_cast<unsigned char>(i * 7);
    return s;
}

// a=b&c=d, as the server's query parser hands it over.
std::multimap<std::string, std::string> query_of(const std::string& text) {
    std::multimap<std::string, std::string> params;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('&', at);
        if (end == std::string::npos) end = text.size();
        const std::string pair = text.substr(at, end - at);
        const size_t eq = pair.find('=');
        params.emplace(pair.substr(0, eq), eq == std::string::npos ? "" : pair.substr(eq + 1));
        at = end + 1;
    }
    return params;
}

// Notices of 12 bytes each: seq, frame, event and a time step, all as a stranger might.
std::vector<stamped_notice> notices_of(const uint8_t* data, size_t size) {
    std::vector<stamped_notice> n;
    int64_t at = 0;
    for (size_t i = 0; i + 12 <= size; i += 12) {
        int32_t seq, frame;
        uint16_t step;
        std::memcpy(&seq, data + i, 4);
        std::memcpy(&frame, data + i + 4, 4);
        std::memcpy(&step, data + i + 9, 2);
        at += step * 16;
        n.push_back({seq, frame, static_cast<notice_event>(data[i + 8] % 5), at});
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 5) {
        case 0: {
            static const ticket_secret secret = fixed_secret();
            const std::string key(32, 'a');
            ticket_fields t;
            if (read_ticket(secret, text, key, t)) {
                REQUIRE(t.id.size() == 32);
                REQUIRE(make_ticket(secret, key, t) == text);
            }
            break;
        }
        case 1: {
            std::string key;
            if (read_player_key(text, key)) REQUIRE(key.size() == 32 && key.find_first_not_of("0123456789abcdef") == std::string::npos);
            break;
        }
        case 2: {
            notice_body n;
            std::string why;
            if (read_notice_body(text, n, why)) {
                REQUIRE(n.seq >= 0 && n.seq < notice_seq_limit);
                REQUIRE(n.frame >= 0 && n.frame <= replay_frame_limit);
                REQUIRE(static_cast<int>(n.event) >= 0 && static_cast<int>(n.event) <= 4);
                const bool commits = n.event == notice_event::tick || n.event == notice_event::end;
                REQUIRE(commits ? looks_like_digest(n.digest) : n.digest.empty());
            } else {
                REQUIRE(!why.empty());
            }
            break;
        }
        case 3: {
            board_query q;
            std::string why;
            if (read_board_query(query_of(text), q, why))
                REQUIRE(q.limit >= 1 && q.limit <= board_limit_most && q.offset >= 0 && q.offset <= board_offset_most);
            break;
        }
        case 4: {
            const std::vector<stamped_notice> n = notices_of(data + 1, size - 1);
            int32_t frames = 0;
            if (!n.empty()) frames = n.back().frame;
            const timing_verdict v = check_timing(n, frames, clock_bounds);
            if (v.fits) REQUIRE(v.paused_ms >= 0 && v.paused_ms <= paused_ms_most);
            else REQUIRE(!v.reason.empty());
            break;
        }
    }
    return 0;
}
