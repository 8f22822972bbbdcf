#include "board_player.h"

#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "fixture/fake_host.h"
#include "fixture/stand_in_art.h"
#include "platform/mouse_presses.h"
#include "platform/real_host.h"
#include "play/board_terms.h"
#include "play/input_digest.h"
#include "play/round_events.h"
#include "play/round_input.h"
#include "play/round.h"
#include "play/round_tape.h"
#include "ui/screen_state.h"

namespace board_testing {

void start_headless_rules() {
    static bool started = false;
    if (started) return;
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) std::abort();
    set_color_depth(32);
    started = true;
}

namespace {

// Where the block nearest the floor will be a few frames on; false when there is none.
bool lowest_block_ahead(int& x, int& y) {
    int lowest = -1;
    for (int s = 0; s < block_slots; ++s)
        if (block[s].active && (lowest < 0 || block[s].y > block[lowest].y)) lowest = s;
    if (lowest < 0) return false;
    x = block[lowest].x;
    y = std::min(block[lowest].y + block[lowest].speed * 6, 440);
    return true;
}

// The busy hand of one frame, then the frame.
void play_one_frame(int frame, int frames_per_click, int& x, int& y) {
    mouse_b = 0;
    // A busy hand glides to the block nearest the floor and clicks there, so the
    // pointer moves on every frame, as a player's does.
    int target_x = x, target_y = y;
    if (frames_per_click > 0 && lowest_block_ahead(target_x, target_y)) {
        const int frames_to_go = frames_per_click - frame % frames_per_click;
        x += (target_x - x) / frames_to_go;
        y += (target_y - y) / frames_to_go;
        mouse_x = x;
        mouse_y = y;
        if (frames_to_go == 1) {
            mouse_b = 1;
            note_left_press(x, y);  // as the library's mouse callback would
        }
    }
    play_frame();
}

void begin_round(unsigned seed, bool real_time = false) {
    start_headless_rules();
    stand_ins::reset_to_round(seed);
    skip_drawing = !real_time;
    if (real_time) use_real_host();
    mouse_b = 0;
}

// The values the board has answered so far, handed to the round at their frames.
std::map<int, uint32_t> revealed;
bool no_seed(uint32_t*) { return false; }
void at_frame(int) {}
int no_limit() { return -1; }
const char* no_line() { return nullptr; }
bool value_of(int tick, uint32_t* value) {
    const auto found = revealed.find(tick);
    if (found == revealed.end()) return false;
    *value = found->second;
    return true;
}
const round_listener to_player = {no_seed, at_frame, at_frame, at_frame, at_frame, no_limit, no_line, value_of};

board_play failed(const std::string& what, int status, const std::string& answer) {
    board_play p;
    p.problem = what + ": " + std::to_string(status) + " " + answer;
    p.status = status;
    return p;
}

}  // namespace

void play_round(unsigned seed, int frames_per_click, const char* name, replay& out, bool real_time) {
    begin_round(seed, real_time);
    int x = 320, y = 300;
    for (int frame = 0; game_state == state_play; ++frame) play_one_frame(frame, frames_per_click, x, y);
    out = recorded_round;
    std::memcpy(out.name, name, 3);
}

board_play play_for_board(const notice_poster& post, int frames_per_click, const char* name, replay& out,
                          const notice_timer& before) {
    using nlohmann::json;
    int64_t seq = 0;
    std::string answer;
    int status = post(json{{"seq", seq++}, {"frame", 0}, {"event", "start"}}.dump(), answer);
    const json started = json::parse(answer, nullptr, false);
    if (status != 200 || !started.contains("seed")) return failed("the start was not taken", status, answer);
    const uint32_t seed = started["seed"].get<uint32_t>();
    begin_round(seed);
    revealed.clear();
    listen_to_rounds(&to_player);
    input_digest digest;
    int x = 320, y = 300;
    board_play p;
    int clock_before_last = 0;  // the end is sent at the time-out, before its frame's banner
    for (int frame = 0; game_state == state_play; ++frame) {
        clock_before_last = testing_support::world.now;
        play_one_frame(frame, frames_per_click, x, y);
        digest.add(round_in);
        const int32_t played = frame + 1;
        if (game_state != state_play || played % frames_between_ticks != 0) continue;
        if (before) before(played, testing_support::world.now);
        status = post(json{{"seq", seq++}, {"frame", played}, {"event", "tick"}, {"digest", digest.hex()}}.dump(),
                      answer);
        const json value = json::parse(answer, nullptr, false);
        if (status != 200 || !value.contains("value")) {
            p = failed("the tick at frame " + std::to_string(played) + " was not taken", status, answer);
            break;
        }
        revealed[played / frames_between_ticks] = value["value"].get<uint32_t>();
    }
    listen_to_rounds(nullptr);
    p.seed = seed;
    if (!p.problem.empty()) return p;
    out = recorded_round;
    std::memcpy(out.name, name, 3);
    if (before) before(out.frames, clock_before_last);
    status = post(json{{"seq", seq++}, {"frame", out.frames}, {"event", "end"}, {"digest", digest.hex()}}.dump(),
                  answer);
    if (status != 204) {
        p = failed("the end was not taken", status, answer);
        p.seed = seed;
        return p;
    }
    p.played = true;
    return p;
}

void move_pointer_at(replay& r, int32_t frame) {
    std::vector<round_input> frames;
    replay_input_reader reader(r);
    for (int32_t f = 0; f < r.frames; ++f) frames.push_back(reader.next());
    round_input& moved = frames.at(static_cast<size_t>(frame - 1));
    moved.x += moved.x < 639 ? 1 : -1;
    replay_input_writer writer(r);
    for (const round_input& in : frames) writer.add(in);
}

std::string replay_bytes(const replay& r) {
    static std::vector<uint8_t> bytes(replay_file_room);
    const size_t size = write_replay_bytes(r, bytes.data());
    return std::string(reinterpret_cast<const char*>(bytes.data()), size);
}

}  // namespace board_testing
