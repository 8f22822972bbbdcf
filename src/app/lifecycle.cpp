// Start-up and shut-down in their fixed orders.
#include "app/lifecycle.h"

#include <allegro.h>

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "app/screen_loop.h"
#include "platform/assets.h"
#include "platform/desktop_display.h"
#include "platform/display_loss.h"
#include "platform/background_thread.h"
#include "platform/key_presses.h"
#include "platform/mouse_presses.h"
#include "platform/quiet_sound.h"
#include "platform/surfaces.h"
#include "play/game_shell.h"
#include "play/sprites.h"
#include "records/display_choice.h"
#include "records/all_records.h"
#include "screens/end_screen.h"
#include "world/board_link.h"
#include "world/board_settings.h"

namespace {

// Ctrl+C, a polite kill and a closed terminal (or a logout).
sigset_t leave_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// A start-up that failed has nothing to save: from here a signal just ends it.
void stop_holding_signals() {
    for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
    const sigset_t set = leave_signals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

// A message box for a desktop user, and the same words on stderr for a terminal.
void report_failure(const char* what) {
    stop_holding_signals();
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

// A lost display ends the game at once, so a name being typed goes in as it stands.
bool save_on_display_loss() {
    keep_unfinished_entry();
    return save_records();
}

void on_close_button() { request_leave(); }
void on_signal(int) { request_leave(); }

// Until the game can end in order, such signals wait: one landing while the library
// starts its keyboard would abort the process. The library's threads inherit the mask.
void hold_signals_during_start_up() {
    const sigset_t set = leave_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// Closing the window and those signals all end like Quit, so the totals are saved.
void leave_politely_on_close() {
    set_close_button_callback(on_close_button);
    struct sigaction action = {};
    action.sa_handler = on_signal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
    const sigset_t set = leave_signals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);  // one held since start-up arrives now
}

// The command line wins; without a word there, the choice the player last made. A window,
// full screen or a scaling named there is the player's new choice, as F11's would be.
display_wish display_wish_of(const launch_options& options) {
    const display_choice remembered = remembered_display_choice();
    display_wish wish;
    wish.scale = options.scale;
    wish.fullscreen = options.display == display_request::remembered
                          ? remembered.fullscreen
                          : options.display == display_request::fullscreen;
    wish.scaling = options.scaling_given ? options.scaling : remembered.scaling;
    wish.monitor = remembered.monitor;
    if (options.scaling_given && options.scaling != remembered.scaling) remember_scaling(options.scaling);
    if (wish.fullscreen != remembered.fullscreen) remember_display_choice(wish.fullscreen, remembered.monitor.c_str());
    if (wish.fullscreen && options.scale > 0)
        std::fprintf(stderr, "blockdash: --scale sets the size of the window; full screen fills "
                             "the monitor (F11 or Alt+Enter switches to the window)\n");
    return wish;
}

// A busy X server can turn a connection away for a moment (its queue of new ones is
// full: EAGAIN); that is worth a few more tries, a missing display is not.
bool start_the_library() {
    for (int tries = 1;; ++tries) {
        if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) == 0) return true;
        if (errno != EAGAIN || tries == 20) return false;
        usleep(50 * 1000);
    }
}

}  // namespace

namespace {
// The command line's choice holds for this session even where it could not be saved.
bool board_chosen = false;
board_settings chosen_board;
}  // namespace

bool choose_board(const std::string& url_or_off) {
    board_settings& now = chosen_board;
    std::string why;
    if (!set_board(url_or_off, &now, &why)) {
        std::fprintf(stderr, "blockdash: --board %s: %s\n", url_or_off.c_str(), why.c_str());
        return false;
    }
    board_chosen = true;
    if (!why.empty()) std::fprintf(stderr, "blockdash: %s\n", why.c_str());
    if (now.url.empty())
        std::fprintf(stderr, "blockdash: the world table is off\n");
    else
        std::fprintf(stderr, "blockdash: playing for the world table at %s\n", now.url.c_str());
    return true;
}

bool start_up(const launch_options& options) {
    hold_signals_during_start_up();
    use_quiet_input_thread();
    // Without a display the library cannot start, and going on would die in install_mouse.
    if (!start_the_library()) {
        // The library often gives no reason of its own; the system's last word is a clue.
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr,
                     "blockdash: cannot start the graphics library (is there a display? "
                     "DISPLAY=\"%s\"): %s\n",
                     display ? display : "", allegro_error[0] ? allegro_error : std::strerror(errno));
        return false;
    }
    if (!quiet_input_thread_running())
        std::fputs("blockdash: the graphics library runs its own input thread; the game works, "
                   "but wakes the processor more often\n", stderr);
    install_mouse();
    install_timer();
    set_color_depth(32);
    install_keyboard();
    keyboard_lowlevel_callback = note_key_press;
    mouse_callback = note_mouse_change;
    char why[256];
    if (!open_display(display_wish_of(options), why, sizeof why)) {
        report_failure(why);
        return false;
    }
    on_display_choice_change(remember_display_choice);
    end_in_order_on_display_loss(save_on_display_loss);
    const bool patches_plain = patch_set_is_plain(why, sizeof why);
    if (!patches_plain) std::fprintf(stderr, "blockdash: %s The music stays silent.\n", why);
    start_sound(patches_plain ? MIDI_AUTODETECT : MIDI_NONE);
    if (!load_assets(why, sizeof why)) {
        report_failure(missing_assets_advice(why).c_str());
        return false;
    }
    if (!prepare_round_sprites(why, sizeof why)) {
        release_assets();
        report_failure(why);
        return false;
    }
    use_game_shell();
    set_window_icon(player_panel);
    load_records();
    start_board(board_chosen ? chosen_board : read_board_settings());  // off: nothing starts
    game_state = state_title;
    leave_politely_on_close();
    install_int(draw_screen, 17);
    return true;
}

// The records are saved before anything that may wait on the display's threads.
bool shut_down() {
    keep_unfinished_entry();  // a round that ended during its time-up banner
    const bool saved = save_records();
    records_saved_for_good(saved);
    stop_board();  // what waits to be sent stays queued on disk
    remove_int(draw_screen);
    release_round_sprites();
    release_assets();
    return saved;
}

