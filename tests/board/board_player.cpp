#include "board_player.h"

#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fixture/stand_in_art.h"
#include "platform/mouse_presses.h"
#include "platform/host.h"
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

}  // namespace

void play_round(unsigned seed, int frames_per_click, const char* name, replay& out, bool real_time) {
    start_headless_rules();
    stand_ins::reset_to_round(seed);
    skip_drawing = !real_time;
    if (real_time) use_real_host();
    mouse_b = 0;
    int x = 320, y = 300;
    for (int frame = 0; game_state == state_play; ++frame) {
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
    out = recorded_round;
    std::memcpy(out.name, name, 3);
}

std::string replay_bytes(const replay& r) {
    static std::vector<uint8_t> bytes(replay_file_room);
    const size_t size = write_replay_bytes(r, bytes.data());
    return std::string(reinterpret_cast<const char*>(bytes.data()), size);
}

}  // namespace board_testing
