// HTTP requests made on a thread of their own, one after another, so the caller never
// waits on the network: it hands a request over and later takes the answer. Knows
// nothing of what is asked; the caller reads the answers between its frames.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct http_request {
    int id = 0;                   // the caller's, given back with the answer
    std::string method = "GET";  // GET or POST
    std::string url;
    std::vector<std::string> headers;  // "Name: value"
    std::string body;
    size_t answer_limit = 64 * 1024;  // a longer answer is cut off and counts as none
    int tries = 1;                    // tries in all when no answer comes (or a 5xx)
    int retry_pause_ms = 500;         // between tries, doubled each time
};

struct http_answer {
    int id = 0;
    int status = 0;  // 0: no answer (refused, timed out, too long, unreachable)
    std::string body;
    std::string error;  // why there is no answer, in a few words
};

struct http_limits {
    int connect_ms = 5000;
    int transfer_ms = 15000;  // the whole request, answer included
};

// Plain HTTP is taken only for the machine itself; elsewhere the answer could be read or
// changed on the way. False with the reason for any other scheme or host.
bool http_url_allowed(const std::string& url, std::string* why);

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
    // Nothing queued and nothing under way.
    bool idle();
    // The requests not yet started are dropped; returns how many.
    int drop_waiting();

private:
    void run();
    http_answer perform(void* curl, const http_request& request);

    http_limits limits_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<http_request> waiting_;
    std::deque<http_answer> answered_;
    bool busy_ = false;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
