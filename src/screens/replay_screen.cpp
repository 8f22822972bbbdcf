// The replay screen: the round played back under a clock that can run four times as fast.
#include "screens/replay_screen.h"

#include <allegro.h>

#include "platform/host.h"
#include "platform/surfaces.h"
#include "play/game_shell.h"
#include "play/round.h"
#include "play/round_replay.h"
#include "screens/replay_pictures.h"
#include "ui/buttons.h"
#include "ui/screen_state.h"
#include "ui/wipe.h"

namespace {

constexpr int fast = 4;
constexpr int as_fast_as_drawn = 1000;  // for the pictures of tests

char watched_name[3];
host_seam real_host;
int speed = 1;
long long replay_clock = 0;
long long real_then = 0;

// Every wait and frame of the round runs on this clock, so the banners speed up too.
long long replay_now() {
    const long long real_now = real_host.now_us();
    replay_clock += (real_now - real_then) * speed;
    real_then = real_now;
    return replay_clock;
}

void replay_wait_until(long long when) {
    const long long left = when - replay_now();
    if (left > 0) real_host.wait_until_us(real_then + (left + speed - 1) / speed);
    else real_host.wait_until_us(real_then);
}

// In the left panel, below the score and clear of the field.
void draw_label(BITMAP* picture) {
    textprintf_ex(picture, font, 16, 440, makecol(255, 255, 0), -1, "REPLAY");
    textprintf_ex(picture, font, 16, 452, makecol(255, 255, 255), -1, "%c%c%c",
                  static_cast<unsigned char>(watched_name[0]), static_cast<unsigned char>(watched_name[1]),
                  static_cast<unsigned char>(watched_name[2]));
}

bool asked_to_stop() { return key[KEY_ESC] || (mouse_b & 2) || leave_requested(); }

void take_the_clock() {
    real_host = host;
    real_then = real_host.now_us();
    replay_clock = real_then;
    host.now_us = replay_now;
    host.wait_until_us = replay_wait_until;
}

}  // namespace

void watch_replay(const replay& r) {
    // What the end screen and the next round read of the round's records.
    const int kept_stage = stage, kept_score = player.score;
    int32_t kept_carried[carried_values];
    capture_carried(kept_carried);
    const clicky kept_quit = quit, kept_progress = progress;

    for (int i = 0; i < 3; ++i) watched_name[i] = r.name[i];
    take_the_clock();
    screen_lock = true;
    start_replay(r);
    replay_label = draw_label;
    const bool pictures = start_replay_pictures(r.frames);
    int played = 0;
    for (bool more = true; more && !asked_to_stop();) {
        speed = pictures ? as_fast_as_drawn : key[KEY_SPACE] || (mouse_b & 1) ? fast : 1;
        more = play_replay_frame();
        if (pictures) keep_replay_picture(++played, fake_screen);
    }
    replay_label = nullptr;
    stop_replay();
    stopmusic();
    host = real_host;

    stage = kept_stage;
    player.score = kept_score;
    restore_carried(kept_carried);
    quit = kept_quit;
    progress = kept_progress;
    start_button_screen();
    screen_lock = true;
}
