// The board server's figures, printed as `name: value unit` lines. Each mode talks to
// boards on loopback only, sends a bounded number of requests and stops by itself;
// bench/board_bench.sh starts the boards (and a PostgreSQL) and runs them all.
//   board_bench submit PORT N          N busy rounds played from the board's seeds, then
//                                      sent by 4 clients at once: accepted rounds a second
//   board_bench fill DATABASE DIR      1,000,000 rounds of 50,000 keys over a year, put
//                                      straight into the store ("" for SQLite in DIR)
//   board_bench reads PORT             1,000 reads of each board (limit 10) and of the page
//   board_bench cleanup DATABASE DIR   the hourly clean-up with 30 days' retention over a
//                                      filled store (for a minute at most), while another
//                                      writer takes tickets: how long that writer waited
//   board_bench race PORT1 PORT2 N     each of N rounds sent to two boards at once
//   board_bench kills BOARD DIR N K    N rounds sent while the board is killed (-9) K times
//                                      and started again; every round answered 201 is kept
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_figures.h"
#include "board/board_store.h"
#include "board/tickets.h"
#include "board_player.h"

namespace {

using nlohmann::json;
using bench_clock = std::chrono::steady_clock;

double ms_between(bench_clock::time_point a, bench_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A round made ready to send: its ticket taken, started and ended at `port`.
struct ready_round {
    std::string key, ticket, bytes;
};

bool prepare(int port, ready_round& out, int frames_per_click = 25) {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(30, 0);
    out.key = random_hex(32);
    const httplib::Headers who = {{"X-Player-Key", out.key}};
    auto t = c.Post("/api/v1/tickets", who, "", "application/json");
    if (!t || t->status != 201) return false;
    out.ticket = json::parse(t->body)["ticket"];
    const std::string path = "/api/v1/tickets/" + out.ticket + "/notices";
    const board_testing::notice_poster post = [&](const std::string& body, std::string& answer) {
        auto a = c.Post(path.c_str(), who, body, "application/json");
        answer = a ? a->body : "";
        return a ? a->status : 0;
    };
    static auto round = std::make_unique<replay>();
    if (!board_testing::play_for_board(post, frames_per_click, "BEN", *round).played) return false;
    out.bytes = board_testing::replay_bytes(*round);
    return true;
}

// The status of sending the round, 0 when no answer came; the answer's id in `id`.
int send(httplib::Client& c, const ready_round& r, std::string* id = nullptr) {
    auto a = c.Post(("/api/v1/rounds?ticket=" + r.ticket).c_str(), {{"X-Player-Key", r.key}}, r.bytes,
                    "application/octet-stream");
    if (!a) return 0;
    if (id && a->status == 201) *id = json::parse(a->body)["id"];
    return a->status;
}

int submit(int port, int n) {
    std::vector<ready_round> rounds(static_cast<size_t>(n));
    long bytes = 0, frames = 0;
    for (ready_round& r : rounds) {
        if (!prepare(port, r)) return std::fprintf(stderr, "board_bench: the board did not take a round\n"), 1;
        bytes += static_cast<long>(r.bytes.size());
        int32_t f = 0;
        std::memcpy(&f, r.bytes.data() + 44, sizeof f);  // the header's frame count
        frames += f;
    }
    std::atomic<size_t> next{0};
    std::atomic<int> accepted{0};
    const auto start = bench_clock::now();
    std::vector<std::thread> clients;
    for (int t = 0; t < 4; ++t)
        clients.emplace_back([&] {
            httplib::Client c("127.0.0.1", port);
            c.set_read_timeout(60, 0);
            for (size_t i = next++; i < rounds.size(); i = next++) accepted += send(c, rounds[i]) == 201;
        });
    for (std::thread& t : clients) t.join();
    const double seconds = ms_between(start, bench_clock::now()) / 1000;
    std::printf("submit_rounds: %d sent, %d accepted\n", n, accepted.load());
    std::printf("submit_replay_size: %ld bytes, %ld frames on average\n", bytes / n, frames / n);
    std::printf("submit_per_second: %.1f rounds/s\n", accepted / seconds);
    return accepted == n ? 0 : 1;
}

int fill(const std::string& database, const std::string& dir) {
    const int64_t now = system_wall_ms();
    board_store store(database, dir, 1);
    const auto start = bench_clock::now();
    {
        const std::unique_ptr<sql_connection> c = open_sql(database, dir);
        const bool pg = c->shared();
        const std::string hex16 = pg ? "lpad(to_hex(i), 16, '0')" : "printf('%016x', i)";
        const std::string key = pg ? "lpad(to_hex(i % 50000), 32, '0')" : "printf('%032x', i % 50000)";
        c->begin_write();
        c->run("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999999) "
               "INSERT INTO rounds (id, ticket, player, name, score, blocks, best_combo, paused_ms, played_ms, frames, "
               "seed, fingerprint, replay) SELECT " + hex16 + ", 't' || " + hex16 + ", " + key +
                   ", 'BEN', (i * 2654435761) % 100000, i % 400, i % 12, 0, CAST($1 AS BIGINT) - "
                   "((i * 2654435769) % 31536000) * 1000, 6000, "
                   "i, 'f' || " + hex16 + ", $2 FROM n",
               {now, sql_value::blob(std::string(64, '\1'))});
        c->commit();
        if (pg) c->run("ANALYZE");
    }
    const double inserted = ms_between(start, bench_clock::now()) / 1000;
    store.rebuild_bests(now);
    std::printf("fill_rounds: 1000000 rounds of 50000 keys over a year\n");
    std::printf("fill_insert: %.1f s\n", inserted);
    std::printf("fill_bests: %.1f s\n", ms_between(start, bench_clock::now()) / 1000 - inserted);
    return 0;
}

int cleanup(const std::string& database, const std::string& dir) {
    board_store store(database, dir, 2);
    const int64_t now = system_wall_ms();
    std::atomic<bool> done{false}, stop{false};
    int64_t dropped = 0;
    const auto start = bench_clock::now();
    std::thread cleaner([&] {
        dropped = store.forget_old(now, 30, &stop);
        done = true;
    });
    // The other writer, for a minute at most: the clean-up stops between two batches then.
    std::vector<double> waits;
    int timed_out = 0;
    while (!done && waits.size() < 1000000) {
        if (ms_between(start, bench_clock::now()) > 60000) stop = true;
        const auto before = bench_clock::now();
        try {
            store.add_ticket(random_hex(32), std::string(32, 'e'), now);
        } catch (const sql_error&) {
            ++timed_out;  // the store's own wait for the lock ran out
        }
        waits.push_back(ms_between(before, bench_clock::now()));
    }
    cleaner.join();
    std::printf("cleanup_dropped: %lld rounds in %.1f s%s\n", static_cast<long long>(dropped),
                ms_between(start, bench_clock::now()) / 1000, stop ? " (stopped after a minute)" : "");
    std::printf("cleanup_other_writer: %zu tickets taken meanwhile, wait p50 %.2f ms, p99 %.2f ms, max %.2f ms, "
                "%d gave up\n",
                waits.size(), percentile(waits, 0.5), percentile(waits, 0.99), percentile(waits, 1.0), timed_out);
    return 0;
}

int reads(int port) {
    httplib::Client c("127.0.0.1", port);
    c.set_keep_alive(true);
    c.set_tcp_nodelay(true);
    for (const char* path : {"/api/v1/board?period=all&limit=10", "/api/v1/board?period=week&limit=10",
                             "/api/v1/board?period=day&limit=10", "/"}) {
        std::vector<double> times;
        size_t size = 0;
        for (int i = 0; i < 1000; ++i) {
            const auto start = bench_clock::now();
            auto a = c.Get(path);
            times.push_back(ms_between(start, bench_clock::now()));
            if (!a || a->status != 200) return std::fprintf(stderr, "board_bench: %s failed\n", path), 1;
            size = a->body.size();
        }
        std::printf("reads %s: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu bytes)\n", path, percentile(times, 0.5),
                    percentile(times, 0.99), percentile(times, 1.0), size);
    }
    return 0;
}

int race(int port1, int port2, int n) {
    int one_each = 0, other = 0;
    std::vector<std::string> ids;
    httplib::Client a("127.0.0.1", port1), b("127.0.0.1", port2);
    a.set_read_timeout(60, 0);
    b.set_read_timeout(60, 0);
    for (int i = 0; i < n; ++i) {
        ready_round r;
        if (!prepare(port1, r, 0)) return std::fprintf(stderr, "board_bench: no round to race\n"), 1;
        std::string id_a, id_b;
        int status_a = 0;
        std::thread first([&] { status_a = send(a, r, &id_a); });
        const int status_b = send(b, r, &id_b);
        first.join();
        const bool pair = (status_a == 201 && status_b == 409) || (status_a == 409 && status_b == 201);
        one_each += pair;
        other += !pair;
        if (!pair && other <= 5) std::printf("race_odd_pair: %d and %d\n", status_a, status_b);
        if (pair) ids.push_back(id_a.empty() ? id_b : id_a);
    }
    int stored = 0;
    for (const std::string& id : ids) {
        auto got = a.Get(("/api/v1/replays/" + id).c_str());
        stored += got && got->status == 200;
    }
    std::printf("race_rounds: %d sent to two boards at once\n", n);
    std::printf("race_one_201_one_409: %d\n", one_each);
    std::printf("race_other_answers: %d\n", other);
    std::printf("race_accepted_and_stored: %d of %zu\n", stored, ids.size());
    return one_each == n && stored == n ? 0 : 1;
}

// The board as a child process, its port read from its log.
struct board_process {
    pid_t pid = -1;
    int port = 0;
};

board_process start_board(const std::string& binary, const std::string& dir) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return {};
    board_process b;
    b.pid = fork();
    if (b.pid == 0) {
        dup2(pipe_fds[1], 2);
        close(pipe_fds[0]);
        execl(binary.c_str(), binary.c_str(), "--listen", "127.0.0.1:0", "--data", dir.c_str(), "--testing-waiver",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe_fds[1]);
    // Its start-up lines, up to the one that says where it listens; the rest is drained.
    FILE* log = fdopen(pipe_fds[0], "r");
    char line[512];
    while (std::fgets(line, sizeof line, log))
        if (const char* at = std::strstr(line, "listening on 127.0.0.1:")) {
            b.port = std::atoi(at + std::strlen("listening on 127.0.0.1:"));
            break;
        }
    std::thread([log] {
        char rest[512];
        while (std::fgets(rest, sizeof rest, log)) {
        }
        std::fclose(log);
    }).detach();
    return b;
}

int kills(const std::string& binary, const std::string& dir, int n, int kill_count) {
    std::mt19937 rng(7);
    std::vector<std::string> acknowledged;
    std::vector<ready_round> unanswered;  // sent again to the board started after the kill
    int sent = 0, resent_201 = 0, resent_409 = 0;
    for (int k = 0; k <= kill_count; ++k) {
        board_process b = start_board(binary, dir);
        if (b.port == 0) return std::fprintf(stderr, "board_bench: the board did not start\n"), 1;
        const int batch = k == kill_count ? n - sent : n / (kill_count + 1);
        std::vector<ready_round> rounds(static_cast<size_t>(batch));
        for (ready_round& r : rounds)
            if (!prepare(b.port, r, 0)) return std::fprintf(stderr, "board_bench: no round\n"), 1;
        sent += batch;
        std::vector<ready_round> again;
        again.swap(unanswered);
        std::atomic<bool> killed{false};
        // The kill comes at a random moment while the batch is being sent.
        std::thread killer([&] {
            if (k == kill_count) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(5, 300)(rng)));
            kill(b.pid, SIGKILL);
            killed = true;
        });
        httplib::Client c("127.0.0.1", b.port);
        c.set_read_timeout(10, 0);
        for (const ready_round& r : again) {
            std::string id;
            const int status = send(c, r, &id);
            if (status == 201) acknowledged.push_back(id), ++resent_201;
            if (status == 409) ++resent_409;  // kept before the kill; its answer was lost
            if (status == 0) unanswered.push_back(r);
        }
        for (const ready_round& r : rounds) {
            std::string id;
            const int status = send(c, r, &id);
            if (status == 201) acknowledged.push_back(id);
            if (status == 0) unanswered.push_back(r);
        }
        killer.join();
        if (!killed) kill(b.pid, SIGKILL);
        waitpid(b.pid, nullptr, 0);
    }
    board_process b = start_board(binary, dir);
    httplib::Client c("127.0.0.1", b.port);
    int found = 0;
    for (const std::string& id : acknowledged) {
        auto got = c.Get(("/api/v1/replays/" + id).c_str());
        found += got && got->status == 200;
    }
    kill(b.pid, SIGTERM);
    waitpid(b.pid, nullptr, 0);
    std::printf("kills_sent: %d rounds, %d kills, each round unanswered sent again after the restart\n", sent,
                kill_count);
    std::printf("kills_answered_201: %zu\n", acknowledged.size());
    std::printf("kills_resent_201: %d (not kept before the kill)\n", resent_201);
    std::printf("kills_resent_409: %d (kept before the kill, answer lost)\n", resent_409);
    std::printf("kills_201_kept: %d of %zu\n", found, acknowledged.size());
    return found == static_cast<int>(acknowledged.size()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "submit" && argc == 4) return submit(std::atoi(argv[2]), std::atoi(argv[3]));
    if (mode == "fill" && argc == 4) return fill(argv[2], argv[3]);
    if (mode == "reads" && argc == 3) return reads(std::atoi(argv[2]));
    if (mode == "cleanup" && argc == 4) return cleanup(argv[2], argv[3]);
    if (mode == "race" && argc == 5) return race(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (mode == "kills" && argc == 6) return kills(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
    std::fprintf(stderr, "usage: see the top of bench/board_bench.cpp\n");
    return 2;
}
