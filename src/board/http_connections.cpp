// The IO thread's loop: reading each request whole, routing it, handing it to a
// worker (or answering at once), writing answers back and closing whatever outstays its
// deadline. Nothing here blocks, so one trickling client delays no one.
// Threads: the IO thread only (run()); workers reach it through `jobs`, `done` and wake().
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "board/http_server_state.h"

namespace {

constexpr uint64_t listener_id = 0;
constexpr uint64_t wake_id = 1;
constexpr int drain_ms = 1000;     // reading what a closed-on client still sends, so it sees our answer
constexpr size_t read_chunk = 16 * 1024;
constexpr int sweep_ms = 50;       // how late a deadline may be noticed

void set_events(http_server_state& s, http_connection& c, uint32_t events) {
    if (c.events == events) return;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = c.id;
    epoll_ctl(s.epoll_fd, EPOLL_CTL_MOD, c.fd, &ev);
    c.events = events;
}

// For the log: behind a proxy, who the request was for.
const std::string& forwarded_for(const http_head& h) {
    static const std::string none;
    for (const auto& [name, value] : h.headers)
        if (name == "x-forwarded-for") return value;
    return none;
}

// The socket goes now; the record stays until the end of the loop's round, since callers
// up the stack may still hold it.
void close_conn(http_server_state& s, http_connection& c) {
    if (c.phase == conn_phase::closed) return;
    epoll_ctl(s.epoll_fd, EPOLL_CTL_DEL, c.fd, nullptr);
    close(c.fd);
    c.phase = conn_phase::closed;
    c.deadline = 0;
    if (c.capped) {
        auto pa = s.per_address.find(c.remote);
        if (pa != s.per_address.end() && --pa->second <= 0) s.per_address.erase(pa);
    }
    s.closed.push_back(c.id);
}

void forget_closed(http_server_state& s) {
    for (uint64_t id : s.closed) s.conns.erase(id);
    s.closed.clear();
}

// One send, no waiting: for answers on connections about to be dropped anyway.
void send_and_close(http_server_state& s, http_connection& c, int status) {
    std::string bytes = plain_response(status, true);
    ssize_t n = send(c.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    (void)n;
    s.log_entry(c.remote, c.head.method, c.head.path, status, http_now_ms() - c.began, forwarded_for(c.head));
    close_conn(s, c);
}

void start_waiting(http_server_state& s, http_connection& c, long long now, int wait_ms);
void advance(http_server_state& s, http_connection& c, long long now);

// Writes what it can; the rest waits for EPOLLOUT.
void flush(http_server_state& s, http_connection& c, long long now) {
    while (c.out_done < c.out.size()) {
        ssize_t n = send(c.fd, c.out.data() + c.out_done, c.out.size() - c.out_done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.out_done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            set_events(s, c, EPOLLOUT);
            return;
        } else {
            close_conn(s, c);
            return;
        }
    }
    c.out.clear();
    c.out_done = 0;
    if (c.close_after || s.stop_begun) {
        shutdown(c.fd, SHUT_WR);
        c.phase = conn_phase::draining;
        c.deadline = now + drain_ms;
        set_events(s, c, EPOLLIN | EPOLLRDHUP);
        return;
    }
    start_waiting(s, c, now, s.limits.idle_ms);
    if (!c.in.empty()) advance(s, c, now);  // a request that came right behind the last one
}

void answer(http_server_state& s, http_connection& c, std::string bytes, bool closing, long long now) {
    c.out = std::move(bytes);
    c.out_done = 0;
    c.close_after = closing;
    c.phase = conn_phase::writing;
    c.deadline = now + s.limits.write_ms;
    flush(s, c, now);
}

// The server's own answer to a request it read (or half read).
void answer_plain(http_server_state& s, http_connection& c, int status, bool closing, long long now,
                  const std::vector<std::pair<std::string, std::string>>& extra = {}) {
    s.log_entry(c.remote, c.head.method, c.head.path, status, now - c.began, forwarded_for(c.head));
    answer(s, c, plain_response(status, closing, extra), closing, now);
}

void start_waiting(http_server_state& s, http_connection& c, long long now, int wait_ms) {
    c.phase = conn_phase::first_byte;
    c.deadline = now + wait_ms;
    c.head = http_head{};
    c.route = nullptr;
    c.matches.clear();
    set_events(s, c, EPOLLIN | EPOLLRDHUP);
}

// The head is read: limits and routing first, before any of the body is.
void route_head(http_server_state& s, http_connection& c, long long now) {
    http_head& h = c.head;
    if (h.status != 0) return answer_plain(s, c, h.status, true, now);
    bool path_known = false;
    std::string allowed;
    for (const http_route& r : s.routes) {
        std::smatch m;
        if (!std::regex_match(h.path, m, r.pattern)) continue;
        path_known = true;
        if (r.method == h.method || (h.method == "HEAD" && r.method == "GET")) {
            c.route = &r;
            for (const auto& g : m) c.matches.push_back(g.str());
            break;
        }
        allowed += (allowed.empty() ? "" : ", ") + r.method;
    }
    // An unread body leaves the connection out of step; it closes after the answer.
    bool no_body = h.content_length == 0 && !h.chunked;
    if (!c.route && !path_known) return answer_plain(s, c, 404, !(h.keep_alive && no_body), now);
    if (!c.route) return answer_plain(s, c, 405, !(h.keep_alive && no_body), now, {{"Allow", allowed}});
    size_t limit = c.route->options.body_limit ? c.route->options.body_limit : s.limits.body_bytes;
    // A route that needs a body needs its length: chunks, or no length at all, are refused.
    const bool has_length = std::any_of(h.headers.begin(), h.headers.end(),
                                        [](const auto& header) { return header.first == "content-length"; });
    // With no length at all nothing is left unread, so the connection stays open.
    if (c.route->options.body_needed && (h.chunked || !has_length))
        return answer_plain(s, c, 411, h.chunked || !h.keep_alive, now);
    if (h.chunked) h.keep_alive = false;  // served with an empty body, the chunks never read
    if (h.content_length > limit) return answer_plain(s, c, 413, true, now);
    if (h.expects_continue && h.content_length > 0) {
        static const char cont[] = "HTTP/1.1 100 Continue\r\n\r\n";
        ssize_t n = send(c.fd, cont, sizeof cont - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        (void)n;  // the client sends the body after a while anyway
    }
    c.phase = conn_phase::body;
    c.deadline = c.request_deadline;
}

// The whole request is in: to a worker, or 503 at once when the queue is full.
void hand_over(http_server_state& s, http_connection& c, long long now) {
    http_head& h = c.head;
    http_job job;
    job.conn = c.id;
    job.route = c.route;
    job.closing = !h.keep_alive;
    job.began = c.began;
    job.req.method = h.method;
    job.req.path = h.path;
    job.req.target = h.target;
    job.req.version = h.version;
    job.req.params = std::move(h.params);
    job.req.headers = std::move(h.headers);
    job.req.body = c.in.substr(0, h.content_length);
    job.req.remote = c.remote;
    job.req.matches = std::move(c.matches);
    job.req.received_ms = http_now_ms();
    c.in.erase(0, h.content_length);
    {
        std::lock_guard<std::mutex> lock(s.m);
        if (s.jobs.size() < s.limits.queue) {
            s.jobs.push_back(std::move(job));
            s.work_ready.notify_one();
            c.phase = conn_phase::working;
            c.deadline = 0;
            set_events(s, c, 0);
            return;
        }
    }
    answer_plain(s, c, 503, !h.keep_alive, now, {{"Retry-After", "1"}});
}

// Moves the connection on as far as the bytes in hand allow.
void advance(http_server_state& s, http_connection& c, long long now) {
    if (c.phase == conn_phase::first_byte && !c.in.empty()) {
        c.phase = conn_phase::head;
        c.began = now;
        c.request_deadline = now + s.limits.request_ms;
        c.deadline = std::min(now + s.limits.header_ms, c.request_deadline);
    }
    if (c.phase == conn_phase::head) {
        size_t end = find_head_end(c.in, c.scanned);
        c.scanned = c.in.size();
        if (end == 0 ? c.in.size() > s.limits.header_bytes : end > s.limits.header_bytes)
            return answer_plain(s, c, 431, true, now);
        if (end == 0) return;
        c.head = parse_head(c.in, end);
        c.in.erase(0, end);
        c.scanned = 0;
        route_head(s, c, now);
    }
    if (c.phase == conn_phase::body && c.in.size() >= c.head.content_length) hand_over(s, c, now);
}

void on_readable(http_server_state& s, http_connection& c, long long now) {
    char buf[read_chunk];
    // Bounded, so one fast sender cannot keep the loop from everyone else; epoll comes back.
    for (int round = 0; round < 16; round++) {
        ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) return close_conn(s, c);  // gone, or done listening to our answer
        if (c.phase == conn_phase::draining) continue;
        c.in.append(buf, static_cast<size_t>(n));
        advance(s, c, now);
        if (c.phase != conn_phase::first_byte && c.phase != conn_phase::head && c.phase != conn_phase::body) return;
    }
}

// The workers' answers, back to their connections (if those are still open).
void take_done(http_server_state& s, long long now) {
    uint64_t count;
    ssize_t n = read(s.wake_fd, &count, sizeof count);
    (void)n;
    std::vector<http_done> done;
    {
        std::lock_guard<std::mutex> lock(s.m);
        done.swap(s.done);
    }
    for (http_done& d : done) {
        auto it = s.conns.find(d.conn);
        if (it != s.conns.end() && it->second->phase == conn_phase::working) answer(s, *it->second, std::move(d.bytes), d.closing, now);
    }
}

void sweep(http_server_state& s, long long now) {
    std::vector<uint64_t> late;
    for (auto& kv : s.conns)
        if (kv.second->deadline != 0 && kv.second->deadline <= now) late.push_back(kv.first);
    for (uint64_t id : late) {
        http_connection& c = *s.conns[id];
        if (c.phase == conn_phase::closed) continue;
        // Half a request gets told why; an idle or a stuck connection just goes.
        if (c.phase == conn_phase::head || c.phase == conn_phase::body) send_and_close(s, c, 408);
        else close_conn(s, c);
    }
}

void begin_stop(http_server_state& s, long long now) {
    s.stop_begun = true;
    s.stop_deadline = now + s.limits.stop_grace_ms;
    epoll_ctl(s.epoll_fd, EPOLL_CTL_DEL, s.listen_fd, nullptr);
    close(s.listen_fd);
    s.listen_fd = -1;
    std::vector<uint64_t> idle;
    for (auto& kv : s.conns)
        if (kv.second->phase != conn_phase::working && kv.second->phase != conn_phase::writing) idle.push_back(kv.first);
    for (uint64_t id : idle) close_conn(s, *s.conns[id]);
}

bool in_flight(http_server_state& s) {
    for (auto& kv : s.conns)
        if (kv.second->phase == conn_phase::working || kv.second->phase == conn_phase::writing) return true;
    return false;
}

}  // namespace

void http_serve(http_server_state& s) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = listener_id;
    epoll_ctl(s.epoll_fd, EPOLL_CTL_ADD, s.listen_fd, &ev);
    ev.data.u64 = wake_id;
    epoll_ctl(s.epoll_fd, EPOLL_CTL_ADD, s.wake_fd, &ev);
    long long next_sweep = http_now_ms() + sweep_ms;
    epoll_event events[256];
    for (;;) {
        long long now = http_now_ms();
        if (s.stopping && !s.stop_begun) begin_stop(s, now);
        if (s.stop_begun && (!in_flight(s) || now >= s.stop_deadline)) break;
        int n = epoll_wait(s.epoll_fd, events, 256, sweep_ms);
        now = http_now_ms();
        for (int i = 0; i < n; i++) {
            uint64_t id = events[i].data.u64;
            if (id == listener_id) {
                if (!s.stop_begun) http_accept_all(s, now);
                continue;
            }
            if (id == wake_id) {
                take_done(s, now);
                continue;
            }
            auto it = s.conns.find(id);
            if (it == s.conns.end()) continue;
            http_connection& c = *it->second;
            uint32_t e = events[i].events;
            if (c.phase == conn_phase::closed) continue;  // earlier in this round
            if (e & (EPOLLERR | EPOLLHUP)) close_conn(s, c);
            else if ((e & EPOLLOUT) && c.phase == conn_phase::writing) flush(s, c, now);
            else if (e & (EPOLLIN | EPOLLRDHUP)) on_readable(s, c, now);
        }
        if (now >= next_sweep) {
            sweep(s, now);
            next_sweep = now + sweep_ms;
        }
        forget_closed(s);
    }
    std::vector<uint64_t> all;
    for (auto& kv : s.conns) all.push_back(kv.first);
    for (uint64_t id : all) close_conn(s, *s.conns[id]);
    forget_closed(s);
    if (s.listen_fd >= 0) close(s.listen_fd);
    s.listen_fd = -1;
    s.stop_begun = false;
}
