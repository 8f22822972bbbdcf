// Reading the command line: every option takes its value as the next word.
#include "board/board_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/request_input.h"

const char board_usage[] =
    "Usage: blockdash-board [OPTION]...\n"
    "The world table of blockdash: hands out tickets, replays and times every round sent to it,\n"
    "and shows the best as JSON and as a web page.\n"
    "\n"
    "  --listen ADDR:PORT     where to listen (default 127.0.0.1:8640; port 0: any free one)\n"
    "  --data DIR             the secret and the SQLite database (default: $STATE_DIRECTORY,\n"
    "                         else ./board-data)\n"
    "  --database URL         keep the board in PostgreSQL (postgresql://...) instead of SQLite\n"
    "  --trusted-proxy ADDR   take the client's address from X-Forwarded-For on requests from ADDR\n"
    "  --watch-files DIR      the watch page's script, module and sprite sheets (default: the\n"
    "                         installed ones)\n"
    "  --retention-days N     drop rounds older than N days that stand on no board (default: keep all)\n"
    "  --limits T,N,R         requests a minute from one address: tickets, notices, rounds\n"
    "                         (default 30,300,30)\n"
    "  --testing-waiver       for tests and benchmarks only: no timing rule and no request limits\n"
    "  --remove ROUND         take the round with this id off the board, then exit\n"
    "  --ban KEY              ban a player key (its rounds leave the boards), then exit\n"
    "  --unban KEY            lift a ban (the key's rounds come back onto the boards), then exit\n"
    "  --help                 show this and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "--remove, --ban and --unban change an existing board (the same --data or --database as\n"
    "the server's) and never make one.\n"
    "\n"
    "BLOCKDASH_BOARD_SECRET (64 hex digits), when set, signs the tickets instead of the secret\n"
    "kept in the data folder (or, with --database, in the database).\n";

namespace {

bool whole_number(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || errno || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

bool listen_on(const std::string& text, board_options& o) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    int port = 0;
    if (!whole_number(text.c_str() + colon + 1, 0, 65535, port)) return false;
    o.listen_address = host;
    o.listen_port = port;
    return true;
}

}  // namespace

bool read_board_options(int argc, const char* const* argv, board_options& o, std::string& problem) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help") { o.help = true; continue; }
        if (option == "--version") { o.version = true; continue; }
        if (option == "--testing-waiver") { o.testing_waiver = true; continue; }
        static const char* const with_value[] = {"--listen", "--data", "--database", "--trusted-proxy", "--watch-files",
                                                 "--retention-days", "--limits", "--remove", "--ban",
                                                 "--unban"};
        bool known = false;
        for (const char* name : with_value) known = known || option == name;
        if (!known) {
            problem = "unknown option \"" + option + "\"";
            return false;
        }
        if (i + 1 >= argc) {
            problem = option + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (option == "--listen" && !listen_on(value, o)) {
            problem = "--listen takes ADDR:PORT, such as 127.0.0.1:8640";
            return false;
        }
        if (option == "--data") o.data_dir = value;
        if (option == "--database") {
            if (value.rfind("postgresql://", 0) != 0 && value.rfind("postgres://", 0) != 0) {
                problem = "--database takes a postgresql:// URL";
                return false;
            }
            o.database = value;
        }
        if (option == "--trusted-proxy") o.trusted_proxy = value;
        if (option == "--watch-files") o.watch_dir = value;
        if (option == "--retention-days" && !whole_number(value.c_str(), 1, 100000, o.retention_days)) {
            problem = "--retention-days takes a number of days from 1";
            return false;
        }
        if (option == "--limits") {
            int t = 0, n = 0, r = 0;
            char extra = 0;
            if (std::sscanf(value.c_str(), "%d,%d,%d%c", &t, &n, &r, &extra) != 3 || t < 1 || n < 1 || r < 1) {
                problem = "--limits takes three numbers from 1, such as 30,300,30";
                return false;
            }
            o.limits.tickets = t;
            o.limits.notices = n;
            o.limits.rounds = r;
        }
        if (option == "--remove") {
            if (!read_round_id(value)) {
                problem = "--remove takes a round's id: 16 hex digits";
                return false;
            }
            o.remove_round = value;
        }
        if (option == "--ban" && !read_player_key(value, o.ban_key)) {
            problem = "--ban takes a player key: 32 hex digits";
            return false;
        }
        if (option == "--unban" && !read_player_key(value, o.unban_key)) {
            problem = "--unban takes a player key: 32 hex digits";
            return false;
        }
    }
    if (o.data_dir.empty()) {
        const char* state = std::getenv("STATE_DIRECTORY");
        // systemd may list several folders, separated by colons; the board's is the first.
        o.data_dir = state && *state ? std::string(state).substr(0, std::string(state).find(':')) : "./board-data";
    }
    return true;
}
