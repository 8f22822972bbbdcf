// Setting the server up and tearing it down: the routes, the listening socket and who it
// lets in, the workers and stop().
// Threads: route(), on_log() and bind() run before run() on the caller's thread; run() and
// http_accept_all are the IO thread; http_worker runs on each worker; stop() on any thread.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "board/http_server.h"
#include "board/http_server_state.h"

long long http_now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

std::string peer_text(const sockaddr_storage& ss) {
    char buf[INET6_ADDRSTRLEN] = "";
    if (ss.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&ss)->sin_addr, buf, sizeof buf);
    } else if (ss.ss_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(&ss)->sin6_addr;
        // A dual-stack listener sees IPv4 peers as ::ffff:a.b.c.d; one address, one count.
        if (IN6_IS_ADDR_V4MAPPED(&a)) inet_ntop(AF_INET, &a.s6_addr[12], buf, sizeof buf);
        else inet_ntop(AF_INET6, &a, buf, sizeof buf);
    }
    return buf;
}

void refuse(http_server_state& s, int fd, const std::string& remote) {
    std::string bytes = plain_response(503, true, {{"Retry-After", "1"}});
    ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    (void)n;
    close(fd);
    s.log_entry(remote, "", "", 503, 0);
}

}  // namespace

void http_accept_all(http_server_state& s, long long now) {
    for (int i = 0; i < 256; i++) {
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        int fd = accept4(s.listen_fd, reinterpret_cast<sockaddr*>(&ss), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if ((errno == EMFILE || errno == ENFILE) && s.spare_fd >= 0) {
                // Out of files: take the one in the queue and drop it, or it wakes us forever.
                close(s.spare_fd);
                int dropped = accept(s.listen_fd, nullptr, nullptr);
                if (dropped >= 0) close(dropped);
                s.spare_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
                continue;
            }
            return;
        }
        std::string remote = peer_text(ss);
        bool trusted = s.limits.trusted_proxies.count(remote) > 0;
        if (static_cast<int>(s.conns.size()) >= s.limits.connections ||
            (!trusted && s.per_address[remote] >= s.limits.per_address)) {
            if (s.per_address[remote] == 0) s.per_address.erase(remote);
            refuse(s, fd, remote);
            continue;
        }
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto c = std::make_unique<http_connection>();
        c->id = s.next_id++;
        c->fd = fd;
        c->remote = remote;
        c->capped = !trusted;
        if (c->capped) s.per_address[remote]++;
        c->phase = conn_phase::first_byte;
        c->deadline = now + s.limits.first_byte_ms;
        c->events = EPOLLIN | EPOLLRDHUP;
        epoll_event ev{};
        ev.events = c->events;
        ev.data.u64 = c->id;
        epoll_ctl(s.epoll_fd, EPOLL_CTL_ADD, fd, &ev);
        s.conns.emplace(c->id, std::move(c));
    }
}

void http_server_state::wake() {
    uint64_t one = 1;
    ssize_t n = ::write(wake_fd, &one, sizeof one);
    (void)n;  // a full counter already means "awake"
}

void http_server_state::log_entry(const std::string& remote, const std::string& method, const std::string& path,
                                   int status, long long ms, const std::string& forwarded_for) {
    if (!log) return;
    http_log_entry e{remote, method, path, status, ms, forwarded_for};
    try {
        log(e);
    } catch (...) {
        // a failing log must not take a request or the IO thread with it
    }
}

void http_worker(http_server_state& s) {
    for (;;) {
        http_job job;
        {
            std::unique_lock<std::mutex> lock(s.m);
            s.work_ready.wait(lock, [&] { return s.workers_quit || !s.jobs.empty(); });
            if (s.jobs.empty()) return;
            job = std::move(s.jobs.front());
            s.jobs.pop_front();
        }
        http_response_out res;
        try {
            job.route->handler(job.req, res);
        } catch (...) {
            res = http_response_out{};
            res.status = 500;
            res.body = "Internal Server Error\n";
        }
        bool closing = job.closing || s.stopping.load();
        http_done d{job.conn, serialize_response(res, job.req.method == "HEAD", closing, job.req.version == "HTTP/1.0"), closing};
        s.log_entry(job.req.remote, job.req.method, job.req.path, res.status, http_now_ms() - job.began,
                    job.req.header("X-Forwarded-For"));
        {
            std::lock_guard<std::mutex> lock(s.m);
            s.done.push_back(std::move(d));
        }
        s.wake();
    }
}

http_server::http_server(http_limits limits) : s_(new http_server_state) {
    s_->limits = std::move(limits);
    s_->wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    s_->epoll_fd = epoll_create1(EPOLL_CLOEXEC);
}

http_server::~http_server() {
    if (s_->listen_fd >= 0) close(s_->listen_fd);
    if (s_->wake_fd >= 0) close(s_->wake_fd);
    if (s_->epoll_fd >= 0) close(s_->epoll_fd);
}

void http_server::route(const std::string& method, const std::regex& pattern, http_handler handler,
                        route_options options) {
    s_->routes.push_back(http_route{method, pattern, std::move(handler), options});
}

void http_server::on_log(http_log_hook hook) { s_->log = std::move(hook); }

bool http_server::bind(const std::string& address, int port, std::string* why) {
    auto fail = [&](const std::string& what) {
        if (why) *why = what;
        if (s_->listen_fd >= 0) close(s_->listen_fd);
        s_->listen_fd = -1;
        return false;
    };
    if (s_->wake_fd < 0 || s_->epoll_fd < 0) return fail(std::string("cannot set up the event loop: ") + strerror(errno));
    if (port < 0 || port > 65535) return fail("port " + std::to_string(port) + " is out of range");
    sockaddr_storage ss{};
    socklen_t len = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&ss);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&ss);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        len = sizeof *v4;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        len = sizeof *v6;
    } else {
        return fail("\"" + address + "\" is not an IPv4 or IPv6 address");
    }
    const std::string where = (ss.ss_family == AF_INET6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
    if (s_->listen_fd >= 0) close(s_->listen_fd);
    s_->listen_fd = socket(ss.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s_->listen_fd < 0) return fail("cannot make a socket for " + where + ": " + strerror(errno));
    // Restarts may reuse a port in TIME_WAIT; never SO_REUSEPORT, so a second board on a held
    // port fails here instead of splitting the traffic with the first.
    int on = 1;
    setsockopt(s_->listen_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(s_->listen_fd, reinterpret_cast<sockaddr*>(&ss), len) != 0) {
        int e = errno;
        if (e == EADDRINUSE) return fail("cannot listen on " + where + ": the address is already in use (another server holds the port)");
        return fail("cannot listen on " + where + ": " + strerror(e));
    }
    if (listen(s_->listen_fd, s_->limits.backlog) != 0) return fail("cannot listen on " + where + ": " + strerror(errno));
    sockaddr_storage got{};
    socklen_t got_len = sizeof got;
    getsockname(s_->listen_fd, reinterpret_cast<sockaddr*>(&got), &got_len);
    s_->port = ntohs(got.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&got)->sin6_port
                                               : reinterpret_cast<sockaddr_in*>(&got)->sin_port);
    return true;
}

int http_server::port() const { return s_->port; }

void http_server::run() {
    http_server_state& s = *s_;
    if (s.listen_fd < 0) return;
    s.spare_fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    {
        std::lock_guard<std::mutex> lock(s.m);
        s.workers_quit = false;
    }
    for (int i = 0; i < (s.limits.workers > 0 ? s.limits.workers : 1); i++) s.workers.emplace_back(http_worker, std::ref(s));
    http_serve(s);
    {
        std::lock_guard<std::mutex> lock(s.m);
        s.workers_quit = true;
        s.jobs.clear();  // whatever the grace did not reach; their connections are closed
    }
    s.work_ready.notify_all();
    for (auto& t : s.workers) t.join();
    s.workers.clear();
    s.done.clear();
    if (s.spare_fd >= 0) close(s.spare_fd);
    s.spare_fd = -1;
}

void http_server::stop() {
    s_->stopping = true;
    s_->wake();
}
