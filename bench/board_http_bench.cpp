// The board's HTTP server under a slow-client flood, with its default limits, on loopback:
// 200 connections trickling a byte every 2 s and 200 idle ones, spread over 25 addresses
// (127.0.1.1 to 127.0.1.25, 16 each: the per-address cap a public server has), each
// reconnecting as soon as it is closed. Meanwhile 50 /healthz requests from 127.0.0.1.
// `board_http_bench board` serves the board's own routes instead (SQLite in a scratch folder,
// the board's limits) and times a /healthz, a ticket and a start notice, 25 of each.
// Prints `name: value unit` lines and stops by itself in about 15 s (30 s at worst).
// Threads: main runs the /healthz requests; one thread runs the server's IO loop (and its
// workers); one drives the flood; a watchdog ends the process if anything hangs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/board_api.h"
#include "board/http_server.h"
#include "board/tickets.h"

namespace {

using bench_clock = std::chrono::steady_clock;

constexpr int flood_addresses = 25;
constexpr int tricklers = 200;
constexpr int idlers = 200;
constexpr int healthz_requests = 50;
constexpr int healthz_gap_ms = 200;

double ms_between(bench_clock::time_point a, bench_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

int connect_from(const std::string& source, int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

struct flood_conn {
    int fd = -1;
    bool trickles = false;
    std::string source;
    bench_clock::time_point opened;
    std::string got;  // what the server said before closing
};

struct flood_figures {
    std::vector<double> trickle_lives, idle_lives;
    int refused = 0, told_408 = 0, connect_failures = 0;
};

void open_one(flood_conn& c, int port) {
    c.fd = connect_from(c.source, port);
    c.opened = bench_clock::now();
    c.got.clear();
    if (c.fd >= 0 && c.trickles) send(c.fd, "GET /healthz HTTP/1.1\r\n", 23, MSG_NOSIGNAL);
}

// Keeps the flood up until `done`: a byte every 2 s from each trickler, and every closed
// connection (trickler or idle) replaced at once.
void run_flood(int port, std::atomic<bool>& done, flood_figures& f) {
    std::vector<flood_conn> conns(tricklers + idlers);
    for (size_t i = 0; i < conns.size(); i++) {
        conns[i].trickles = i < static_cast<size_t>(tricklers);
        conns[i].source = "127.0.1." + std::to_string(1 + i % flood_addresses);
        open_one(conns[i], port);
    }
    auto next_byte = bench_clock::now() + std::chrono::seconds(2);
    while (!done) {
        std::vector<pollfd> fds;
        std::vector<size_t> which;
        for (size_t i = 0; i < conns.size(); i++) {
            if (conns[i].fd < 0) {
                f.connect_failures++;
                open_one(conns[i], port);
                continue;
            }
            fds.push_back(pollfd{conns[i].fd, POLLIN, 0});
            which.push_back(i);
        }
        poll(fds.data(), fds.size(), 50);
        auto now = bench_clock::now();
        for (size_t k = 0; k < fds.size(); k++) {
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            flood_conn& c = conns[which[k]];
            char buf[1024];
            ssize_t n = recv(c.fd, buf, sizeof buf, 0);
            if (n > 0) {
                c.got.append(buf, static_cast<size_t>(n));
                continue;
            }
            double life = ms_between(c.opened, now);
            if (c.got.rfind("HTTP/1.1 503", 0) == 0) f.refused++;
            else (c.trickles ? f.trickle_lives : f.idle_lives).push_back(life);
            if (c.got.rfind("HTTP/1.1 408", 0) == 0) f.told_408++;
            close(c.fd);
            open_one(c, port);
        }
        if (now >= next_byte) {
            for (flood_conn& c : conns)
                if (c.trickles && c.fd >= 0) send(c.fd, "X", 1, MSG_NOSIGNAL);
            next_byte += std::chrono::seconds(2);
        }
    }
    for (flood_conn& c : conns)
        if (c.fd >= 0) close(c.fd);
}

// One request on a new connection from 127.0.0.1: milliseconds to the whole answer, or -1
// when it is not `want` (a status line's start). The answer's body lands in `body`.
double one_request(int port, const std::string& req, const char* want, std::string* body = nullptr) {
    auto start = bench_clock::now();
    int fd = connect_from("127.0.0.1", port);
    if (fd < 0) return -1;
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    std::string got;
    char buf[1024];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 5000) > 0) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    if (got.rfind(want, 0) != 0) return -1;
    if (body) *body = got.substr(std::min(got.size(), got.find("\r\n\r\n") + 4));
    return ms_between(start, bench_clock::now());
}

double one_healthz(int port) {
    return one_request(port, "GET /healthz HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n", "HTTP/1.1 200");
}

// A new player's ticket, then the notice that starts its round: the milliseconds of each.
void one_ticket_and_notice(int port, std::vector<double>& tickets, std::vector<double>& notices, int& failed) {
    const std::string key = random_hex(32);
    const std::string who = "Host: bench\r\nConnection: close\r\nX-Player-Key: " + key + "\r\n";
    std::string body;
    double ms = one_request(port, "POST /api/v1/tickets HTTP/1.1\r\n" + who + "Content-Length: 0\r\n\r\n",
                            "HTTP/1.1 201", &body);
    const size_t at = body.find("\"ticket\":\"");
    if (ms < 0 || at == std::string::npos) {
        failed++;
        return;
    }
    tickets.push_back(ms);
    const std::string ticket = body.substr(at + 10, body.find('"', at + 10) - at - 10);
    const std::string start = R"({"seq":0,"frame":0,"event":"start"})";
    ms = one_request(port,
                     "POST /api/v1/notices HTTP/1.1\r\n" + who + "X-Ticket: " + ticket +
                         "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(start.size()) +
                         "\r\n\r\n" + start,
                     "HTTP/1.1 200");
    if (ms < 0) failed++;
    else notices.push_back(ms);
}

double at(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    const bool real_board = argc > 1 && std::string(argv[1]) == "board";
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(30));
        std::fprintf(stderr, "board_http_bench: still running after 30 s, giving up\n");
        std::_Exit(2);
    }).detach();
    // 400 flood sockets on each side, plus the healthz ones.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 4096) {
        files.rlim_cur = std::min<rlim_t>(4096, files.rlim_max);
        setrlimit(RLIMIT_NOFILE, &files);
    }

    http_server server;  // the default limits
    // The board's routes, as blockdash-board serves them, on a fresh SQLite file.
    std::unique_ptr<board_store> store;
    std::unique_ptr<board_context> board;
    const std::string dir = "/tmp/board_http_bench." + std::to_string(getpid());
    if (real_board) {
        std::string problem;
        mkdir(dir.c_str(), 0700);
        ticket_secret secret;
        store = std::make_unique<board_store>("", dir, 4);
        if (!load_ticket_secret(dir, secret, problem)) {
            std::fprintf(stderr, "board_http_bench: %s\n", problem.c_str());
            return 1;
        }
        board.reset(new board_context{*store, secret, board_options{}, request_limits({}, false)});
        add_board_routes(server, *board);
    } else {
        server.route("GET", std::regex("/healthz"), [](const http_request_in&, http_response_out& res) { res.body = "ok"; });
    }
    std::string why;
    if (!server.bind("127.0.0.1", 0, &why)) {
        std::fprintf(stderr, "board_http_bench: %s\n", why.c_str());
        return 1;
    }
    std::thread io([&] { server.run(); });
    int port = server.port();

    std::atomic<bool> done{false};
    flood_figures f;
    std::thread flood([&] { run_flood(port, done, f); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // let the flood connect

    std::vector<double> latencies, tickets, notices;
    int failed = 0;
    // 25 tickets keep within one address's 30 a minute.
    for (int i = 0; i < (real_board ? healthz_requests / 2 : healthz_requests); i++) {
        double ms = one_healthz(port);
        if (ms < 0) failed++;
        else latencies.push_back(ms);
        if (real_board) one_ticket_and_notice(port, tickets, notices, failed);
        std::this_thread::sleep_for(std::chrono::milliseconds(real_board ? 2 * healthz_gap_ms : healthz_gap_ms));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // a second round of tricklers cut off
    done = true;
    flood.join();
    server.stop();
    io.join();
    if (real_board) std::filesystem::remove_all(dir);

    std::printf("flood_connections: %d connections\n", tricklers + idlers);
    std::printf("flood_addresses: %d addresses\n", flood_addresses);
    std::printf("healthz_median: %.2f ms\n", at(latencies, 0.5));
    std::printf("healthz_max: %.2f ms\n", at(latencies, 1.0));
    if (real_board) {
        std::printf("ticket_median: %.2f ms\n", at(tickets, 0.5));
        std::printf("ticket_max: %.2f ms\n", at(tickets, 1.0));
        std::printf("notice_median: %.2f ms\n", at(notices, 0.5));
        std::printf("notice_max: %.2f ms\n", at(notices, 1.0));
    }
    std::printf("requests_failed: %d requests\n", failed);
    std::printf("trickle_closed_median: %.0f ms\n", at(f.trickle_lives, 0.5));
    std::printf("trickle_closed_max: %.0f ms\n", at(f.trickle_lives, 1.0));
    std::printf("trickle_closed: %zu connections\n", f.trickle_lives.size());
    std::printf("trickle_told_408: %d connections\n", f.told_408);
    std::printf("idle_closed_median: %.0f ms\n", at(f.idle_lives, 0.5));
    std::printf("idle_closed_max: %.0f ms\n", at(f.idle_lives, 1.0));
    std::printf("idle_closed: %zu connections\n", f.idle_lives.size());
    std::printf("flood_refused_503: %d connections\n", f.refused);
    std::printf("flood_connect_failures: %d connections\n", f.connect_failures);
    return failed == 0 ? 0 : 1;
}
