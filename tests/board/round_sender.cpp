// A scripted player for the board's end-to-end tests: asks the board at 127.0.0.1:PORT for a
// ticket, starts the round, plays it headless from the seed it was given, then sends the
// round's notices at PACE times the round's own clock (1: as the game would, playing in
// real time) and leaves the ticket and the replay in OUT for the test to send.
//   round_sender PORT KEY OUT PACE [NAME [FRAMES_PER_CLICK]]
// (a busy hand when FRAMES_PER_CLICK is given: a long round; else one that never clicks)
// or changes one byte of a replay's input and writes it with its checksum made good again:
//   round_sender --tamper IN OUT
// or plays a round from SEED as the board's tests do and writes its replay, for keeping:
//   round_sender --record SEED FRAMES_PER_CLICK NAME OUT
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

int record(const char* seed, const char* frames_per_click, const char* name, const char* out) {
    const auto r = std::make_unique<replay>();
    board_testing::play_round(static_cast<unsigned>(std::strtoul(seed, nullptr, 10)), std::atoi(frames_per_click), name, *r);
    std::ofstream(out, std::ios::binary) << board_testing::replay_bytes(*r);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--tamper") return tamper(argv[2], argv[3]);
    if (argc == 6 && std::string(argv[1]) == "--record") return record(argv[2], argv[3], argv[4], argv[5]);
    if (argc < 5) return fail("usage: round_sender PORT KEY OUT PACE [NAME [FRAMES_PER_CLICK]]");
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
    board_testing::play_round(seed, frames_per_click, name, *round);
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
