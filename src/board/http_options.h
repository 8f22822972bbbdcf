// What the board's HTTP server is told before it runs: its limits, a route's options, the
// handler's and the log hook's shapes.
// Threads: set on the caller's thread before run(); read by the IO thread and the workers.
#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>

#include "board/http_message.h"

struct http_limits {
    int first_byte_ms = 3000;        // from accept to the first byte of a request
    int header_ms = 5000;            // request line and headers, from their first byte
    int request_ms = 10000;          // the whole request, from its first byte
    int idle_ms = 5000;              // a kept-alive connection between requests
    int write_ms = 10000;            // for the client to take a response
    int stop_grace_ms = 5000;        // stop(): how long requests in flight may take
    size_t header_bytes = 16 * 1024; // request line and headers together
    size_t body_bytes = 64 * 1024;   // for routes that do not set their own
    int per_address = 16;            // open connections from one address
    std::set<std::string> trusted_proxies;  // addresses exempt from per_address
    int connections = 4096;          // open connections in all
    int backlog = 1024;              // listen(); the kernel caps it at somaxconn
    int workers = 8;
    size_t queue = 64;               // complete requests waiting for a worker
};

struct route_options {
    size_t body_limit = 0;     // 0: http_limits::body_bytes
    bool body_needed = false;  // a request without a Content-Length is then refused with 411
};

using http_handler = std::function<void(const http_request_in&, http_response_out&)>;

// One line's worth per request answered, and per connection refused or cut off with an
// answer (remote only, method and path "" when no request was read). Called from the
// workers and the IO thread at once; the path is decoded, so print it through
// printable_for_log.
struct http_log_entry {
    std::string remote, method, path;
    int status = 0;
    long long ms = 0;  // from the request's first byte to its answer
    std::string forwarded_for;  // the request's X-Forwarded-For, for a proxy's client; "" when none
};
using http_log_hook = std::function<void(const http_log_entry&)>;
