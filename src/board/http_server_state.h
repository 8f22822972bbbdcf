// The server's insides, shared by its two halves: http_server.cpp (binding, accepting, the
// workers, stopping) and http_connections.cpp (reading, routing, writing, deadlines).
// Threads: `conns` and `per_address` are the IO thread's alone; `jobs` and `done` pass
// between it and the workers under `m`; `stopping` is read by all.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "board/http_message.h"
#include "board/http_options.h"

struct http_route {
    std::string method;
    std::regex pattern;
    http_handler handler;
    route_options options;
};

// first_byte covers both a new connection and a kept-alive one between requests.
enum class conn_phase { first_byte, head, body, working, writing, draining, closed };

struct http_connection {
    uint64_t id = 0;
    int fd = -1;
    std::string remote;
    bool capped = false;  // counted in per_address
    conn_phase phase = conn_phase::first_byte;
    uint32_t events = 0;  // what epoll is asked for now
    std::string in;  // read and not yet taken: a head, a body, or what came behind them
    size_t scanned = 0;  // of `in`, looked through for the head's end
    std::string out;
    size_t out_done = 0;
    bool close_after = false;
    long long deadline = 0;          // of the current phase
    long long began = 0;             // the current request's first byte
    long long request_deadline = 0;  // the current request's whole
    http_head head;
    const http_route* route = nullptr;
    std::vector<std::string> matches;
};

// A complete request on its way to a worker.
struct http_job {
    uint64_t conn = 0;
    const http_route* route = nullptr;
    http_request_in req;
    bool closing = false;
    long long began = 0;
};

// A worker's answer on its way back to the IO thread.
struct http_done {
    uint64_t conn = 0;
    std::string bytes;
    bool closing = false;
};

struct http_server_state {
    http_limits limits;
    std::vector<http_route> routes;
    http_log_hook log;
    int listen_fd = -1;
    int wake_fd = -1;   // eventfd: stop() and finished work wake the IO thread
    int epoll_fd = -1;
    int spare_fd = -1;  // given up to accept-and-close when the process runs out of files
    int port = 0;
    std::atomic<bool> stopping{false};

    std::unordered_map<uint64_t, std::unique_ptr<http_connection>> conns;
    std::unordered_map<std::string, int> per_address;
    std::vector<uint64_t> closed;  // to forget at the end of the loop's round
    uint64_t next_id = 2;  // 0 and 1 are the listener and the wake-up in epoll's data
    bool stop_begun = false;
    long long stop_deadline = 0;

    std::mutex m;
    std::condition_variable work_ready;
    std::deque<http_job> jobs;
    std::vector<http_done> done;
    bool workers_quit = false;
    std::vector<std::thread> workers;

    void wake();
    void log_entry(const std::string& remote, const std::string& method, const std::string& path, int status,
                   long long ms, const std::string& forwarded_for = "");
};

long long http_now_ms();
// The worker's loop: one complete request at a time, to the handler and back.
void http_worker(http_server_state& s);
// Takes in the connections waiting on the listener, refusing those over a cap.
void http_accept_all(http_server_state& s, long long now);
// The IO thread's loop, until stop() and the grace are over.
void http_serve(http_server_state& s);
