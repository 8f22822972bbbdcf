// The board's HTTP/1.1 server: one IO thread holds every connection and reads each request
// whole, under deadlines and caps, before a worker sees it; so slow or idle clients cost a
// socket, never a worker.
// Threads: whoever calls run() becomes the IO thread; run() starts the workers, which run
// the handlers and the log hook; stop() may come from any thread.
#pragma once

#include <memory>
#include <regex>
#include <string>

#include "board/http_message.h"
#include "board/http_options.h"

struct http_server_state;  // the insides: http_server_state.h

class http_server {
public:
    explicit http_server(http_limits limits = {});
    ~http_server();
    http_server(const http_server&) = delete;
    http_server& operator=(const http_server&) = delete;

    // Before run(). The first route whose pattern matches the whole decoded path and takes
    // the method wins; GET routes also answer HEAD.
    void route(const std::string& method, const std::regex& pattern, http_handler handler, route_options options = {});
    void on_log(http_log_hook hook);

    // An IPv4 or IPv6 literal; port 0 for any free one. False with the reason in `why`
    // (a port already held fails: no SO_REUSEPORT).
    bool bind(const std::string& address, int port, std::string* why);
    int port() const;

    // Serves until stop(); returns once requests in flight are answered (or stop_grace_ms
    // passed), every connection is closed and the workers are joined: a handler that never
    // returns holds run() too. Call it once.
    void run();
    void stop();

private:
    std::unique_ptr<http_server_state> s_;
};
