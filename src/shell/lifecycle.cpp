// Start-up and shut-down in their fixed orders.
#include "shell/lifecycle.h"

#include <allegro.h>

#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <string>

#include "play/round.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"
#include "shell/assets.h"
#include "shell/screen_loop.h"
#include "shell/surfaces.h"

namespace {

// A message box for a desktop user, and the same words on stderr for a terminal.
void report_failure(const char* what) {
    std::fprintf(stderr, "blockdash: %s\n", what);
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    allegro_message("%s\n", what);
}

// Started straight from a build or install folder, the game finds no assets there: say
// where it looked and how it is meant to be started.
std::string missing_assets_advice(const char* why) {
    char here[PATH_MAX] = "";
    if (!getcwd(here, sizeof here)) std::snprintf(here, sizeof here, "the current directory");
    return std::string(why) + "\nThe game looks for its \"KZ IMAGE\" and \"KZ SOUND\" folders in " + here +
           ".\nStart it with its launcher: blockdash-play in the build folder, or the blockdash "
           "command once installed; or run it from a folder that holds \"KZ IMAGE\" and "
           "\"KZ SOUND\".";
}

void on_close_button() { request_leave(); }
void on_signal(int) { request_leave(); }

// Closing the window, Ctrl+C and a polite kill all end like Quit, so the totals are saved.
void leave_politely_on_close() {
    set_close_button_callback(on_close_button);
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
}

// Modern desktops often refuse a mode switch, so a window is the second choice.
bool open_display() {
    if (set_gfx_mode(GFX_AUTODETECT_FULLSCREEN, screen_w, screen_h, 0, 0) == 0) return true;
    return set_gfx_mode(GFX_AUTODETECT_WINDOWED, screen_w, screen_h, 0, 0) == 0;
}

}  // namespace

bool start_up(const launch_options& options) {
    (void)options;
    // Without a display the library cannot start, and going on would die in install_mouse.
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
        std::fprintf(stderr, "blockdash: cannot start the graphics library (is there a display?)\n");
        return false;
    }
    install_mouse();
    install_timer();
    set_color_depth(32);
    install_keyboard();
    if (!open_display()) {
        char why[256];
        std::snprintf(why, sizeof why, "Cannot open a 640x480 display: %s", allegro_error);
        report_failure(why);
        return false;
    }
    install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, "");
    char why[256];
    if (!load_assets(why, sizeof why)) {
        report_failure(missing_assets_advice(why).c_str());
        return false;
    }
    load_highscore(highscore_path);
    load_stats(stats_path);
    game_state = state_title;
    leave_politely_on_close();
    install_int(draw_screen, 17);
    return true;
}

void shut_down() {
    remove_int(draw_screen);
    save_stats(stats_path);
    release_assets();
}

