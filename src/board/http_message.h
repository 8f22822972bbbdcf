// The board's HTTP/1.1 messages: a request as a handler sees it, the response it fills, and
// the readers that turn a stranger's bytes into a request head, each bounded and strict.
// Threads: the IO thread parses; workers read requests and fill responses, one each.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct http_request_in {
    std::string method;   // GET, POST or HEAD
    std::string path;     // percent-decoded
    std::string target;   // as sent: path and query
    std::string version;  // HTTP/1.0 or HTTP/1.1
    std::multimap<std::string, std::string> params;    // the query, decoded, `+` as space
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    std::string body;
    std::string remote;   // the peer's IP as text (an IPv4-mapped IPv6 peer as IPv4)
    std::vector<std::string> matches;  // the route's regex groups; [0] is the whole path
    // When the request was read whole, in ms on CLOCK_MONOTONIC (http_now_ms, the clock of
    // platform/monotonic_clock.h too), before it waited for a worker or for anything the
    // handler waits for.
    long long received_ms = 0;

    // The first value of a header, any case of name; "" when absent.
    const std::string& header(const std::string& name) const;
    bool has_header(const std::string& name) const;
    // The first value of a query parameter; "" when absent.
    const std::string& param(const std::string& name) const;
};

struct http_response_out {
    int status = 200;
    std::string content_type = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // extra ones, sent as given

    void set_header(const std::string& name, const std::string& value) { headers.emplace_back(name, value); }
};

// What the request head says, before any routing. `status` is 0 when it parsed; otherwise
// the answer to send before closing (400, 431, 501, 505).
struct http_head {
    int status = 0;
    std::string method, target, path, version;
    std::multimap<std::string, std::string> params;
    std::vector<std::pair<std::string, std::string>> headers;
    size_t content_length = 0;
    bool chunked = false;
    bool keep_alive = true;
    bool expects_continue = false;
};

// Where the head ends in `in` (just past its blank line), or 0 while it is still incomplete.
// `scanned` is how much of `in` an earlier call saw, so a trickled head is not read again
// from its start for every byte.
size_t find_head_end(const std::string& in, size_t scanned = 0);
// Reads the head in in[0, head_end).
http_head parse_head(const std::string& in, size_t head_end);

// %XX decoding; `plus_is_space` for query parts. False on a broken escape or a NUL byte.
bool percent_decode(const std::string& in, std::string& out, bool plus_is_space);
bool parse_query(const std::string& query, std::multimap<std::string, std::string>& out);

const char* reason_phrase(int status);
// The response's bytes. A HEAD answer keeps the body's length but not the body; a closing one
// says so, and an HTTP/1.0 one kept open says that. Header values lose any CR or LF a
// handler let through.
std::string serialize_response(const http_response_out& r, bool head_only, bool closing,
                               bool say_keep_alive = false);
// A short plain response the server makes itself (400, 404, 408, 503, ...).
std::string plain_response(int status, bool closing,
                           const std::vector<std::pair<std::string, std::string>>& extra = {});

// Control bytes and bytes over 0x7e as \xNN, a backslash as \\, so a `%0a` in a
// path can never start a new line in the log.
std::string printable_for_log(const std::string& s);
