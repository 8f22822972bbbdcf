// The server's life: set up, serve, stop. Requests in flight when SIGTERM comes are
// finished; idle connections are closed within the keep-alive time, well inside 10 s.
// Threads: the main thread sets up and then runs the accept loop; cpp-httplib's pool threads
// run the handlers and the request log (each timing its own request); the stopper thread waits
// for SIGTERM or SIGINT and stops the server; the housekeeper thread clears out the store every
// hour; the verifier thread replays rounds. They share the store, the limits and the server.
#include "board/board_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "board/board_api.h"
#include "board/board_page.h"
#include "board/round_verifier.h"
#include "platform/monotonic_clock.h"

namespace {

// When this pool thread began its request, on the monotonic clock; 0 for none.
thread_local long long request_began_ms = 0;

// cpp-httplib reads a request's first line before it asks who sent it, so a malformed request
// would be logged with no address. The board asks at accept instead: the accepting thread
// notes the socket, hands it to the pool with its address, and the pool thread keeps that
// address while it serves the connection.
thread_local int accepted_here = -1;
thread_local std::string connection_address;

std::string peer_address(int sock) {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    char text[INET6_ADDRSTRLEN] = "-";
    if (sock >= 0 && getpeername(sock, reinterpret_cast<sockaddr*>(&peer), &size) == 0) {
        if (peer.ss_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&peer)->sin_addr, text, sizeof text);
        if (peer.ss_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&peer)->sin6_addr, text, sizeof text);
    }
    return text;
}

class addressed_pool : public httplib::TaskQueue {
public:
    explicit addressed_pool(size_t threads) : pool_(threads) {}
    void enqueue(std::function<void()> serve) override {
        pool_.enqueue([serve = std::move(serve), address = peer_address(accepted_here)] {
            connection_address = address;
            serve();
            connection_address.clear();
        });
    }
    void shutdown() override { pool_.shutdown(); }

private:
    httplib::ThreadPool pool_;
};

// Whatever a stranger put in a request is written to the log with its control and other
// non-printable bytes (and the backslash) as \xNN, so a request is always one line.
std::string printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7f && b != '\\') {
            out += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", b);
        out += escaped;
    }
    return out;
}

// A ticket in a path is a player's admission: the log keeps only enough of it to follow one.
std::string path_for_log(const std::string& path) {
    const std::string tickets = "/api/v1/tickets/";
    if (path.compare(0, tickets.size(), tickets) != 0 || path.size() <= tickets.size() + 12) return path;
    const size_t end = path.find('/', tickets.size());
    return tickets + path.substr(tickets.size(), 12) + "..." + (end == std::string::npos ? "" : path.substr(end));
}

void log_request(const httplib::Request& req, const httplib::Response& res, const std::string& trusted_proxy) {
    const long long ms = request_began_ms == 0 ? 0 : monotonic_ms() - request_began_ms;
    request_began_ms = 0;
    // A request too malformed to read has no address of its own: its connection's is used.
    const std::string address = req.remote_addr.empty() ? connection_address : client_address(req, trusted_proxy);
    std::fprintf(stderr, "%s %s %s %s %d %lld ms\n", iso_utc(system_wall_ms()).c_str(),
                 printable(address.empty() ? "-" : address).c_str(), printable(req.method.empty() ? "-" : req.method).c_str(),
                 printable(req.path.empty() ? "-" : path_for_log(req.path)).c_str(), res.status, ms);
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
                      const int64_t dropped = store.forget_old(store.wall_ms(), retention_days);
                      if (dropped > 0)
                          std::fprintf(stderr, "blockdash-board: dropped %lld rounds on no board older than %d days\n",
                                       static_cast<long long>(dropped), retention_days);
                  } catch (const std::exception& e) {
                      std::fprintf(stderr, "blockdash-board: housekeeping: %s\n", e.what());
                  }
                  hold.lock();
              } while (!stop_.wait_for(hold, std::chrono::hours(1), [this] { return stopping_; }));
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
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace

// cpp-httplib accepts with accept(); the board's own takes its place (the program's symbols
// come before the C library's) to note the socket for the connection's address above.
extern "C" int accept(int listener, sockaddr* address, socklen_t* size) {
    const int sock = accept4(listener, address, size, 0);
    accepted_here = sock;
    return sock;
}

int run_board(const board_options& o) {
    // SIGTERM and SIGINT are taken by one thread of our own, never in the middle of a request.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

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

    httplib::Server server;
    server.new_task_queue = [] { return new addressed_pool(CPPHTTPLIB_THREAD_POOL_COUNT); };
    // cpp-httplib's default is SO_REUSEPORT, with which a second board on the port would quietly
    // take a share of the first one's requests. SO_REUSEADDR alone still lets a restart bind
    // at once over connections in TIME_WAIT.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_payload_max_length(round_body_most);
    server.set_keep_alive_timeout(3);
    // An answer's head and body leave at once, not 40 ms apart behind a delayed ACK.
    server.set_tcp_nodelay(true);
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        request_began_ms = monotonic_ms();
        return body_too_long(req, res) ? httplib::Server::HandlerResponse::Handled
                                       : httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_logger([&o](const httplib::Request& req, const httplib::Response& res) {
        log_request(req, res, o.trusted_proxy);
    });
    add_board_routes(server, board);

    int port = o.listen_port;
    errno = 0;
    const bool bound = port == 0 ? (port = server.bind_to_any_port(o.listen_address)) > 0
                                 : server.bind_to_port(o.listen_address, port);
    if (!bound) {
        const int why = errno;
        std::fprintf(stderr, "blockdash-board: cannot listen on %s:%d: %s\n", o.listen_address.c_str(), o.listen_port,
                     why == EADDRINUSE ? "the port is taken (another board, or another program, listens there)"
                                       : why != 0 ? std::strerror(why) : "the address cannot be bound");
        stop_verifier();
        return 1;
    }
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
        server.listen_after_bind();
        if (server.is_running()) server.stop();
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
