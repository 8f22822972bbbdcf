// The command line: a handful of display options, help and version.
#include "app/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef BLOCKDASH_VERSION
#define BLOCKDASH_VERSION "0.0.0"
#endif

namespace {

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
        } else if (std::strcmp(arg, "--scale") == 0 || std::strncmp(arg, "--scale=", 8) == 0) {
            const char* value = arg[7] == '=' ? arg + 8 : (i + 1 < argc ? argv[++i] : nullptr);
            if (!parse_scale(value, options.scale)) {
                error = std::string("--scale needs a whole number from 1 to 64, not \"") +
                        (value ? value : "") + "\"";
                return false;
            }
        } else if (std::strcmp(arg, "--replay") == 0 || std::strcmp(arg, "--verify") == 0) {
            if (i + 1 >= argc || !*argv[i + 1]) {
                error = std::string(arg) + " needs the replay file";
                return false;
            }
            options.replay = arg[2] == 'r' ? replay_request::watch : replay_request::verify;
            options.replay_file = argv[++i];
        } else {
            error = std::string("unknown option \"") + arg + "\"";
            return false;
        }
    }
    return true;
}

const char* usage_text() {
    return "Usage: blockdash [--fullscreen | --window] [--scale N] [--help] [--version]\n"
           "       blockdash [--fullscreen | --window] [--scale N] --replay FILE\n"
           "       blockdash --verify FILE\n"
           "\n"
           "  --fullscreen   cover the screen, the picture scaled by the largest whole factor\n"
           "  --window       play in a window (F11 or Alt+Enter switches at any time)\n"
           "  --scale N      the window's size: N times 640x480 (default: the largest that fits)\n"
           "  --replay FILE  play a replay (a highscore's, or a friend's), then exit\n"
           "  --verify FILE  replay it at full speed with no display and no sound, print its\n"
           "                 score, blocks cut and best combo; exit 1 when it is damaged or\n"
           "                 its input does not give the score it claims\n"
           "  --help         show this help and exit\n"
           "  --version      show the version and exit\n"
           "\n"
           "Without --fullscreen or --window the game opens as it was last left.\n"
           "Each highscore keeps its replay in \"KZ DATA\" beside the table.\n";
}

const char* version_text() { return "blockdash " BLOCKDASH_VERSION; }
