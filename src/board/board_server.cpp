// The server's life: set up, serve, stop. Requests in flight when SIGTERM comes are
// finished; idle connections are closed within the keep-alive time, well inside 10 s.
// Threads: the main thread sets up and then becomes the HTTP server's IO thread, which holds
// every connection and reads each request whole; the server's worker threads run the handlers;
// both write the request log, under its lock. The stopper thread waits for SIGTERM or SIGINT
// and stops the server; the housekeeper thread clears out the store every hour; the verifier
// thread replays rounds. They share the store, the limits and the server.
#include "board/board_server.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "board/board_api.h"
#include "board/board_page.h"
#include "board/http_server.h"
#include "board/round_verifier.h"
#include "board/watch_page.h"
#include "platform/monotonic_clock.h"

namespace {

// A ticket in a path is a player's admission: the log keeps only enough of it to follow one.
std::string path_for_log(const std::string& path) {
    const std::string tickets = "/api/v1/tickets/";
    if (path.compare(0, tickets.size(), tickets) != 0 || path.size() <= tickets.size() + 12) return path;
    const size_t end = path.find('/', tickets.size());
    return tickets + path.substr(tickets.size(), 12) + "..." + (end == std::string::npos ? "" : path.substr(end));
}

// The IO thread and the workers log at once; one line each, never interleaved.
std::mutex log_lock;

void log_request(const http_log_entry& e, const std::string& trusted_proxy) {
    http_request_in seen;
    seen.remote = e.remote;
    if (!e.forwarded_for.empty()) seen.headers.emplace_back("x-forwarded-for", e.forwarded_for);
    const std::string address = client_address(seen, trusted_proxy);
    std::lock_guard<std::mutex> hold(log_lock);
    std::fprintf(stderr, "%s %s %s %s %d %lld ms\n", iso_utc(system_wall_ms()).c_str(),
                 address.empty() ? "-" : printable_for_log(address).c_str(),
                 e.method.empty() ? "-" : printable_for_log(e.method).c_str(),
                 e.path.empty() ? "-" : printable_for_log(path_for_log(e.path)).c_str(), e.status, e.ms);
}

// Every connection is a descriptor: a flood of slow clients must not run the board out of them.
void raise_open_files() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur >= files.rlim_max) return;
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
}

bool make_folder(const std::string& dir) {
    std::string path;
    for (size_t at = 0; at != std::string::npos;) {
        const size_t slash = dir.find('/', at + 1);
        path = dir.substr(0, slash);
        if (!path.empty() && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
        at = slash;
    }
    struct stat s;
    return stat(dir.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

// The server makes its SQLite board on first start; on PostgreSQL it needs no folder at all.
// The operator's commands only ever change a board that is there.
std::unique_ptr<board_store> open_store(const board_options& o, bool existing_only) {
    const std::string file = o.data_dir + "/board.sqlite";
    struct stat s;
    if (o.database.empty() && existing_only && stat(file.c_str(), &s) != 0) {
        std::fprintf(stderr, "blockdash-board: there is no board in %s (no board.sqlite): give the --data "
                             "or --database of the board to change\n", o.data_dir.c_str());
        return nullptr;
    }
    if (o.database.empty() && !existing_only && !make_folder(o.data_dir)) {
        std::fprintf(stderr, "blockdash-board: cannot make the data folder %s: %s\n", o.data_dir.c_str(),
                     std::strerror(errno));
        return nullptr;
    }
    try {
        // SQLite in WAL mode reads beside its one writer, so its readers need not wait.
        return std::make_unique<board_store>(o.database, o.data_dir, o.database.empty() ? 4 : 8, !existing_only);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "blockdash-board: %s%s\n", e.what(),
                     existing_only ? ": give the --data or --database of the board to change" : "");
        return nullptr;
    }
}

// BLOCKDASH_BOARD_SECRET, else the data folder's file (SQLite) or the database's (PostgreSQL).
bool load_secret(const board_options& o, board_store& store, ticket_secret& secret, std::string& problem) {
    if (o.database.empty()) return load_ticket_secret(o.data_dir, secret, problem);
    bool given = false;
    if (!secret_from_environment(secret, given, problem)) return false;
    if (given) return true;
    try {
        if (secret_from_hex(store.shared_secret(random_hex(64)), secret)) return true;
        problem = "the database's ticket secret is not 64 hex digits";
    } catch (const std::exception& e) {
        problem = std::string("cannot read the ticket secret from the database: ") + e.what();
    }
    return false;
}

// Drops what is no longer needed at start and then every hour, until told to stop.
class housekeeper {
public:
    housekeeper(board_store& store, int retention_days)
        : thread_([this, &store, retention_days] {
              std::unique_lock<std::mutex> hold(m_);
              do {
                  hold.unlock();
                  try {
                      const int64_t dropped = store.forget_old(store.wall_ms(), retention_days, &stopping_);
                      if (dropped > 0)
                          std::fprintf(stderr, "blockdash-board: dropped %lld rounds on no board older than %d days\n",
                                       static_cast<long long>(dropped), retention_days);
                  } catch (const std::exception& e) {
                      std::fprintf(stderr, "blockdash-board: housekeeping: %s\n", e.what());
                  }
                  hold.lock();
              } while (!stop_.wait_for(hold, std::chrono::hours(1), [this] { return stopping_.load(); }));
          }) {}
    ~housekeeper() {
        {
            std::lock_guard<std::mutex> hold(m_);
            stopping_ = true;
        }
        stop_.notify_all();
        thread_.join();
    }

private:
    std::mutex m_;
    std::condition_variable stop_;
    std::atomic<bool> stopping_{false};  // also read by the clean-up between its batches
    std::thread thread_;
};

}  // namespace

int run_board(const board_options& o) {
    // SIGTERM and SIGINT are taken by one thread of our own, never in the middle of a request.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    raise_open_files();

    std::string problem;
    ticket_secret secret;
    // A bad secret is told before any store is made.
    bool given = false;
    if (!secret_from_environment(secret, given, problem)) {
        std::fprintf(stderr, "blockdash-board: %s\n", problem.c_str());
        return 1;
    }
    const std::unique_ptr<board_store> store = open_store(o, false);
    if (!store) return 1;
    if (!load_secret(o, *store, secret, problem)) {
        std::fprintf(stderr, "blockdash-board: %s\n", problem.c_str());
        return 1;
    }
    if (!start_verifier(problem)) {
        std::fprintf(stderr, "blockdash-board: %s\n", problem.c_str());
        return 1;
    }
    board_context board{*store, secret, o, request_limits(o.limits, o.testing_waiver)};
    watch_files files;
    const std::string watch_dir = o.watch_dir.empty() ? default_watch_folder() : o.watch_dir;
    if (!load_watch_files(watch_dir, files, problem)) {
        std::fprintf(stderr, "blockdash-board: %s\n", problem.c_str());
        stop_verifier();
        return 1;
    }
    if (!watch_player_present(files))
        std::fprintf(stderr, "blockdash-board: no watch page player in %s: the watch pages show figures only\n",
                     watch_dir.c_str());

    http_limits limits;
    if (!o.trusted_proxy.empty()) limits.trusted_proxies.insert(o.trusted_proxy);
    http_server server(limits);
    server.on_log([&o](const http_log_entry& e) { log_request(e, o.trusted_proxy); });
    add_watch_routes(server, *store, files);
    add_board_routes(server, board);

    std::string why;
    if (!server.bind(o.listen_address, o.listen_port, &why)) {
        std::fprintf(stderr, "blockdash-board: %s\n", why.c_str());  // it names the address and port
        stop_verifier();
        return 1;
    }
    const int port = server.port();
    if (o.testing_waiver)
        std::fprintf(stderr, "blockdash-board: the testing waiver is on: rounds are not timed and requests not "
                             "limited; never run a public board like this\n");
    std::fprintf(stderr, "blockdash-board: listening on %s:%d, keeping the board in %s\n", o.listen_address.c_str(),
                 port, o.database.empty() ? (o.data_dir + "/board.sqlite").c_str() : "PostgreSQL");

    std::thread stopper([&server, stop_signals] {
        int signal_number = 0;
        sigwait(&stop_signals, &signal_number);
        std::fprintf(stderr, "blockdash-board: stopping\n");
        server.stop();
    });
    {
        housekeeper keeper(*store, o.retention_days);
        server.run();
    }
    pthread_kill(stopper.native_handle(), SIGTERM);  // a server that ended by itself
    stopper.join();
    stop_verifier();
    std::fprintf(stderr, "blockdash-board: stopped\n");
    return 0;
}

int run_board_command(const board_options& o) {
    const std::unique_ptr<board_store> store = open_store(o, true);
    if (!store) return 1;
    try {
        if (!o.remove_round.empty()) {
            if (!store->remove_round(o.remove_round)) {
                std::fprintf(stderr, "blockdash-board: no round %s\n", o.remove_round.c_str());
                return 1;
            }
            std::printf("removed round %s\n", o.remove_round.c_str());
        }
        if (!o.ban_key.empty()) {
            store->ban(o.ban_key);
            std::printf("banned %s: its rounds are off the boards and its requests refused\n", o.ban_key.c_str());
        }
        if (!o.unban_key.empty()) {
            if (!store->unban(o.unban_key)) {
                std::fprintf(stderr, "blockdash-board: %s is not banned\n", o.unban_key.c_str());
                return 1;
            }
            std::printf("unbanned %s: its rounds are back on the boards\n", o.unban_key.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "blockdash-board: %s\n", e.what());
        return 1;
    }
    return 0;
}
