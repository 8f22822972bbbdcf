// HTTP requests for the world table. An `http_client` makes one request at a time on the
// thread that calls it; an `http_lane` gives one such client a thread of its own, so the
// caller never waits on the network: it hands a request over and later takes the answer.
// Neither knows anything of what is asked.
// Thread: a client, the thread that calls it; a lane, a thread of its own (send, take
// and drop_waiting from any thread).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Why no answer came, in the few kinds a player can act on.
enum class http_failure { none, refused_address, name, connection, timeout, certificate, too_long, other };

struct http_answer {
    int id = 0;
    int status = 0;  // 0: no answer; `failure` says why
    std::string body;
    http_failure failure = http_failure::none;
    std::string error;  // the library's own words, for the terminal
};

struct http_request {
    int id = 0;                   // the caller's, given back with the answer
    std::string method = "GET";  // GET or POST
    std::string url;
    std::vector<std::string> headers;  // "Name: value"
    std::string body;
    size_t answer_limit = 64 * 1024;  // a longer answer is cut off and counts as none
    int tries = 1;                    // tries in all when no answer comes (or a 5xx)
    int retry_pause_ms = 500;         // between tries, doubled each time
    // Run on the lane's thread when the answer has come, before the caller sees it: the
    // place for slow work on the answer (files), which the caller's thread must not do.
    std::function<void(http_answer&)> on_arrival;
};

struct http_limits {
    int connect_ms = 5000;
    int transfer_ms = 15000;  // the whole request, answer included
};

// Plain HTTP is taken only for the machine itself; elsewhere the answer could be read or
// changed on the way. False with the reason for any other scheme or host.
bool http_url_allowed(const std::string& url, std::string* why);

// A few words a player understands on why the board gave no answer.
const char* failure_words(http_failure failure);

class http_client {
public:
    explicit http_client(http_limits limits = {});
    ~http_client();
    http_client(const http_client&) = delete;
    http_client& operator=(const http_client&) = delete;

    // The answer, after the request's tries; `stop` turning true cuts it short.
    http_answer perform(const http_request& request, const std::atomic<bool>& stop);

private:
    http_answer perform_once(const http_request& request, const std::atomic<bool>& stop);

    http_limits limits_;
    void* curl_;  // one handle, so the connection is kept from request to request
};

class http_lane {
public:
    explicit http_lane(http_limits limits = {});
    ~http_lane();  // stops the request under way at once
    http_lane(const http_lane&) = delete;
    http_lane& operator=(const http_lane&) = delete;

    // Queues the request; never blocks on the network.
    void send(http_request request);
    // An answer, when one has come since the last take.
    bool take(http_answer* answer);
    // The requests not yet started are dropped; returns how many.
    int drop_waiting();

private:
    void run();

    http_client client_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<http_request> waiting_;
    std::deque<http_answer> answered_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
