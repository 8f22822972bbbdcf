// A scripted player for the board's end-to-end tests: asks the board at 127.0.0.1:PORT for a
// ticket, starts the round, plays it headless from the seed it was given, then sends the
// round's notices at PACE times the round's own clock (1: as the game would, playing in
// real time) and leaves the ticket and the replay in OUT for the test to send.
//   round_sender PORT KEY OUT PACE [NAME]
// or changes one byte of a replay's input and writes it with its checksum made good again:
//   round_sender --tamper IN OUT
// or sends one round from THREADS threads at once, each on a connection of its own, to the
// boards on PORTS (comma-separated) in turn, and prints each answer's status on a line:
//   round_sender --race PORTS KEY TICKET FILE THREADS
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "board/round_verifier.h"
#include "board/timing_rule.h"
#include "play/headless_replay.h"
#include "board_player.h"

namespace {

using nlohmann::json;

int fail(const std::string& why) {
    std::fprintf(stderr, "round_sender: %s\n", why.c_str());
    return 1;
}

int tamper(const char* in, const char* out) {
    const auto r = std::make_unique<replay>();
    if (read_replay_file(in, *r) != replay_status::read || r->input_size == 0) return fail("cannot read the replay");
    r->input[r->input_size / 2] ^= 0x01;
    std::ofstream(out, std::ios::binary) << board_testing::replay_bytes(*r);
    return 0;
}

int race(const std::string& ports, const std::string& key, const std::string& ticket, const char* file, int threads) {
    std::vector<int> to;
    std::stringstream list(ports);
    for (std::string port; std::getline(list, port, ',');) to.push_back(std::atoi(port.c_str()));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (to.empty() || bytes.empty() || threads < 1) return fail("nothing to race");
    std::mutex m;
    std::condition_variable go;
    int ready = 0;
    std::vector<int> statuses(static_cast<size_t>(threads));
    std::vector<std::thread> senders;
    for (int i = 0; i < threads; ++i)
        senders.emplace_back([&, i] {
            httplib::Client board("127.0.0.1", to[static_cast<size_t>(i) % to.size()]);
            board.set_read_timeout(60, 0);
            board.set_keep_alive(true);
            board.Get("/healthz");  // the connection made before the race
            {
                // Every sender holds its open connection before any sends.
                std::unique_lock<std::mutex> hold(m);
                ++ready;
                go.notify_all();
                go.wait(hold, [&] { return ready == threads; });
            }
            const auto a = board.Post("/api/v1/rounds", {{"X-Player-Key", key}, {"X-Ticket", ticket}}, bytes,
                                      "application/octet-stream");
            statuses[static_cast<size_t>(i)] = a ? a->status : 0;
        });
    for (std::thread& t : senders) t.join();
    for (int status : statuses) std::printf("%d\n", status);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--tamper") return tamper(argv[2], argv[3]);
    if (argc == 7 && std::string(argv[1]) == "--race") return race(argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]));
    if (argc < 5) return fail("usage: round_sender PORT KEY OUT PACE [NAME]");
    const int port = std::atoi(argv[1]);
    const std::string key = argv[2], out = argv[3];
    const double pace = std::atof(argv[4]);
    const char* name = argc > 5 ? argv[5] : "BOT";
    httplib::Client board("127.0.0.1", port);
    board.set_read_timeout(30, 0);
    const httplib::Headers who = {{"X-Player-Key", key}};

    auto ticket_answer = board.Post("/api/v1/tickets", who, "", "application/json");
    if (!ticket_answer || ticket_answer->status != 201) return fail("no ticket");
    const std::string ticket = json::parse(ticket_answer->body)["ticket"];
    const std::string notices = "/api/v1/tickets/" + ticket + "/notices";
    int64_t seq = 0;
    auto notice = [&](int32_t frame, const char* event) {
        const json body = {{"seq", seq++}, {"frame", frame}, {"event", event}};
        return board.Post(notices.c_str(), who, body.dump(), "application/json");
    };

    const auto started = std::chrono::steady_clock::now();
    auto start_answer = notice(0, "start");
    if (!start_answer || start_answer->status != 200) return fail("the start was not taken");
    const auto seed = json::parse(start_answer->body)["seed"].get<uint32_t>();

    const auto round = std::make_unique<replay>();
    board_testing::play_round(seed, 0, name, *round);
    prepare_headless_replay();
    const verification v = verify_here(*round);
    auto at_pace = [&](int32_t frames) {
        return started + std::chrono::milliseconds(static_cast<long long>(pace * v.clock_after.at(frames)));
    };
    for (int32_t frame = frames_between_ticks; frame < round->frames; frame += frames_between_ticks) {
        std::this_thread::sleep_until(at_pace(frame));
        auto a = notice(frame, "tick");
        if (!a || a->status != 204) return fail("a tick was not taken");
    }
    std::this_thread::sleep_until(at_pace(round->frames - 1));
    auto end_answer = notice(round->frames, "end");
    if (!end_answer || end_answer->status != 204) return fail("the end was not taken");

    std::ofstream(out + "/ticket") << ticket;
    std::ofstream(out + "/replay.rpl", std::ios::binary) << board_testing::replay_bytes(*round);
    std::printf("round of %d frames, score %d, seed %u, notices sent at pace %.2f\n", round->frames, round->score,
                seed, pace);
    return 0;
}
