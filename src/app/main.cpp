// The game: the command line, start-up, the screen-state loop, shut-down.
#include <allegro.h>

#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/lifecycle.h"
#include "app/replay_commands.h"
#include "app/screen_loop.h"
#include "platform/real_host.h"

int main(int argc, char** argv) {
    launch_options options;
    std::string error;
    if (!parse_command_line(argc, argv, options, error)) {
        std::fprintf(stderr, "blockdash: %s\n\n%s", error.c_str(), usage_text());
        return 2;
    }
    if (options.show_help) {
        std::fputs(usage_text(), stdout);
        return 0;
    }
    if (options.show_version) {
        std::printf("%s\n", version_text());
        return 0;
    }
    if (options.replay == replay_request::verify) return verify_replay_file(options.replay_file.c_str());
    if (options.replay == replay_request::watch) return watch_replay_file(options);
    if (!options.board.empty() && !choose_board(options.board)) return 2;
    use_real_host();
    if (!start_up(options)) return 1;
    run_screen_loop();
    return shut_down() ? 0 : 1;
}
END_OF_MAIN()
