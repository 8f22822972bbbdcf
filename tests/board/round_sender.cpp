// A scripted player for the board's end-to-end tests: asks the board at 127.0.0.1:PORT for a
// ticket and plays a round headless for it as the game does, committing its input at each
// tick and mixing in each tick's value, its notices sent at PACE times the round's own clock
// (1: as the game would, playing in real time). It leaves the ticket and the replay in OUT
// for the test to send, with three made up after the round: other-values.rpl (each tick's
// value swapped for the next one's), no-values.rpl, and other-input.rpl (the pointer of one
// frame halfway through moved by a pixel).
//   round_sender PORT KEY OUT PACE [NAME [FRAMES_PER_CLICK]]
// (a busy hand when FRAMES_PER_CLICK is given: a long round; else one that never clicks)
// A tick the board refuses is written to OUT/refused (status, answer), then the end is
// tried and its answer written to OUT/after-refusal.
// --offline plays the whole round from the seed at once, as a program searching it would,
// then sends the notices with the digests of that input and leaves its replay in OUT:
//   round_sender --offline PORT KEY OUT PACE [NAME]
// or changes one byte of a replay's input and writes it with its checksum made good again:
//   round_sender --tamper IN OUT
// or plays a round from SEED as the board's tests do and writes its replay, for keeping:
//   round_sender --record SEED FRAMES_PER_CLICK NAME OUT
// or sends one round from THREADS threads at once, each on a connection of its own, to the
// boards on PORTS (comma-separated) in turn, and prints each answer's status on a line:
//   round_sender --race PORTS KEY TICKET FILE THREADS
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "board_player.h"
#include "play/board_terms.h"
#include "play/input_digest.h"

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

void write_file(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

int record(const char* seed, const char* frames_per_click, const char* name, const char* out) {
    const auto r = std::make_unique<replay>();
    board_testing::play_round(static_cast<unsigned>(std::strtoul(seed, nullptr, 10)), std::atoi(frames_per_click), name, *r);
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
    if (argc == 6 && std::string(argv[1]) == "--record") return record(argv[2], argv[3], argv[4], argv[5]);
    if (argc == 7 && std::string(argv[1]) == "--race") return race(argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]));
    const bool offline = argc > 1 && std::string(argv[1]) == "--offline";
    if (offline) {
        --argc;
        ++argv;
    }
    if (argc < 5) return fail("usage: round_sender [--offline] PORT KEY OUT PACE [NAME [FRAMES_PER_CLICK]]");
    const int port = std::atoi(argv[1]);
    const std::string key = argv[2], out = argv[3];
    const double pace = std::atof(argv[4]);
    const char* name = argc > 5 ? argv[5] : "BOT";
    const int frames_per_click = argc > 6 ? std::atoi(argv[6]) : 0;
    httplib::Client board("127.0.0.1", port);
    board.set_read_timeout(30, 0);
    const httplib::Headers who = {{"X-Player-Key", key}};

    auto ticket_answer = board.Post("/api/v1/tickets", who, "", "application/json");
    if (!ticket_answer || ticket_answer->status != 201) return fail("no ticket");
    const std::string ticket = json::parse(ticket_answer->body)["ticket"];
    const std::string notices = "/api/v1/tickets/" + ticket + "/notices";
    const board_testing::notice_poster post = [&](const std::string& body, std::string& answer) {
        auto a = board.Post(notices.c_str(), who, body, "application/json");
        answer = a ? a->body : "";
        return a ? a->status : 0;
    };
    const auto started = std::chrono::steady_clock::now();
    const board_testing::notice_timer at_pace = [&](int32_t, int own_ms) {
        std::this_thread::sleep_until(started + std::chrono::milliseconds(static_cast<long long>(pace * own_ms)));
    };
    std::ofstream(out + "/ticket") << ticket;

    const auto round = std::make_unique<replay>();
    if (offline) {
        // The seed fixes nothing past the first value now; the search plays it all the same.
        std::string answer;
        if (post(json{{"seq", 0}, {"frame", 0}, {"event", "start"}}.dump(), answer) != 200)
            return fail("the start was not taken: " + answer);
        board_testing::play_round(json::parse(answer)["seed"].get<uint32_t>(), frames_per_click, name, *round);
        int64_t seq = 1;
        for (int32_t frame = frames_between_ticks; frame < round->frames; frame += frames_between_ticks) {
            at_pace(frame, 1500 + 20 * (frame - 1));
            const std::string digest = replay_input_digests(*round, {frame}).at(0);
            if (post(json{{"seq", seq++}, {"frame", frame}, {"event", "tick"}, {"digest", digest}}.dump(), answer) != 200)
                return fail("a tick was not taken: " + answer);
        }
        at_pace(round->frames, 1500 + 20 * (round->frames - 2));
        const std::string digest = replay_input_digests(*round, {round->frames}).at(0);
        if (post(json{{"seq", seq++}, {"frame", round->frames}, {"event", "end"}, {"digest", digest}}.dump(),
                 answer) != 204)
            return fail("the end was not taken: " + answer);
        write_file(out + "/replay.rpl", board_testing::replay_bytes(*round));
        std::printf("round of %d frames searched offline, notices sent at pace %.2f\n", round->frames, pace);
        return 0;
    }

    const board_testing::board_play played = board_testing::play_for_board(post, frames_per_click, name, *round, at_pace);
    if (!played.played && played.status >= 400 && played.status < 500 && played.problem.find("tick") != std::string::npos) {
        write_file(out + "/refused", played.problem);
        std::string answer;
        const int status = post(json{{"seq", 999}, {"frame", 1}, {"event", "end"}, {"digest", std::string(64, '0')}}.dump(),
                                answer);
        write_file(out + "/after-refusal", std::to_string(status) + " " + answer);
        std::printf("a tick was refused: %s\n", played.problem.c_str());
        return 0;
    }
    if (!played.played) return fail(played.problem);
    write_file(out + "/replay.rpl", board_testing::replay_bytes(*round));
    if (round->value_count > 0) {
        const auto other = std::make_unique<replay>(*round);
        for (uint32_t i = 0; i + 1 < other->value_count; ++i) other->values[i] = round->values[i + 1];
        other->values[other->value_count - 1] ^= 1;
        write_file(out + "/other-values.rpl", board_testing::replay_bytes(*other));
        other->value_count = 0;
        write_file(out + "/no-values.rpl", board_testing::replay_bytes(*other));
        *other = *round;
        board_testing::move_pointer_at(*other, round->frames / 2);
        write_file(out + "/other-input.rpl", board_testing::replay_bytes(*other));
    }
    std::printf("round of %d frames, score %d, seed %u, %u values, notices sent at pace %.2f\n", round->frames,
                round->score, played.seed, round->value_count, pace);
    return 0;
}
