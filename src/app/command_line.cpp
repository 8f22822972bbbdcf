// The command line: a handful of display options, help and version.
#include "app/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "records/display_choice.h"

#ifndef BLOCKDASH_VERSION
#define BLOCKDASH_VERSION "0.0.0"
#endif

namespace {

// The value of option `name`: after "=" in the same word, else the next word.
const char* value_of(const char* name, int argc, const char* const* argv, int& i) {
    const char* after_name = argv[i] + std::strlen(name);
    if (*after_name == '=') return after_name + 1;
    return i + 1 < argc ? argv[++i] : nullptr;
}

bool is_option(const char* arg, const char* name) {
    const size_t n = std::strlen(name);
    return std::strncmp(arg, name, n) == 0 && (arg[n] == '\0' || arg[n] == '=');
}

// A whole factor from 1 to 64: enough for any screen, small enough never to overflow.
bool parse_scale(const char* text, int& scale) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > 64) return false;
    scale = static_cast<int>(value);
    return true;
}

}  // namespace

bool parse_command_line(int argc, const char* const* argv, launch_options& options,
                        std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--window") == 0) {
            options.display = display_request::window;
        } else if (std::strcmp(arg, "--fullscreen") == 0) {
            options.display = display_request::fullscreen;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.show_help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            options.show_version = true;
        } else if (is_option(arg, "--scale")) {
            const char* value = value_of("--scale", argc, argv, i);
            if (!parse_scale(value, options.scale)) {
                error = std::string("--scale needs a whole number from 1 to 64, not \"") +
                        (value ? value : "") + "\"";
                return false;
            }
        } else if (is_option(arg, "--scaling")) {
            const char* value = value_of("--scaling", argc, argv, i);
            if (!value || !scaling_named(value, &options.scaling)) {
                error = std::string("--scaling needs auto, pixel or sharp, not \"") +
                        (value ? value : "") + "\"";
                return false;
            }
            options.scaling_given = true;
        } else if (std::strcmp(arg, "--replay") == 0 || std::strcmp(arg, "--verify") == 0) {
            if (i + 1 >= argc || !*argv[i + 1]) {
                error = std::string(arg) + " needs the replay file";
                return false;
            }
            options.replay = arg[2] == 'r' ? replay_request::watch : replay_request::verify;
            options.replay_file = argv[++i];
        } else if (is_option(arg, "--board")) {
            const char* value = value_of("--board", argc, argv, i);
            if (!value || !*value) {
                error = "--board needs the world table's address (https://...) or off";
                return false;
            }
            options.board = value;
        } else {
            error = std::string("unknown option \"") + arg + "\"";
            return false;
        }
    }
    return true;
}

const char* usage_text() {
    return "Usage: blockdash [--fullscreen | --window] [--scale N] [--scaling auto|pixel|sharp]\n"
           "                 [--board URL | --board off] [--help] [--version]\n"
           "       blockdash [--fullscreen | --window] [--scale N] [--scaling ...] --replay FILE\n"
           "       blockdash --verify FILE\n"
           "\n"
           "  --fullscreen      cover the monitor that holds the game's window\n"
           "  --window          play in a window (F11 or Alt+Enter switches at any time)\n"
           "  --scale N         the window's size: N times 640x480 (default: the largest that\n"
           "                    fits); full screen always fills its monitor\n"
           "  --scaling pixel   grow the picture by whole factors only: every pixel a crisp square\n"
           "  --scaling sharp   fill the screen at any size: whole pixels, soft pixel edges\n"
           "  --scaling auto    pixel where a whole factor fills 80 % of the height or width,\n"
           "                    sharp elsewhere (the default)\n"
           "  --replay FILE     play a replay (a highscore's, or a friend's), then exit; FILE may\n"
           "                    be a world round's link, https://BOARD/watch/ID\n"
           "  --verify FILE     replay it at full speed with no display and no sound, print its\n"
           "                    name, score, blocks cut and best combo; exit 1 when it is damaged\n"
           "                    or its input does not give the score it claims. This shows that\n"
           "                    the file's input gives its figures under this version's rules,\n"
           "                    not that a person played it: anyone can write such a file\n"
           "  --board URL       play for the world table at URL (https://..., or http:// on this\n"
           "                    machine); remembered until --board off. The board keeps a random\n"
           "                    player key made once on this machine, your initials, the replay\n"
           "                    of each board round, the times of its notices, and the address\n"
           "                    your requests come from. BLOCKDASH_BOARD_CA=FILE trusts another\n"
           "                    certificate authority (a private board)\n"
           "  --board off       stop playing for the world table: no connection is made\n"
           "  --help            show this help and exit\n"
           "  --version         show the version and exit\n"
           "\n"
           "Without --fullscreen, --window or --scaling the game opens as it was last left.\n"
           "Each highscore keeps its replay in \"KZ DATA\" beside the table.\n";
}

const char* version_text() { return "blockdash " BLOCKDASH_VERSION; }
