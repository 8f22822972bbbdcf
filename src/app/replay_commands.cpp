// The two replay commands of the command line.
#include "app/replay_commands.h"

#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/lifecycle.h"
#include "platform/real_host.h"
#include "play/headless_replay.h"
#include "play/round_replay.h"
#include "screens/replay_screen.h"
#include "world/watch_link.h"

namespace {

replay given_replay;

// A round's link on a world table: its replay, downloaded. False, said on stderr, when
// none came; otherwise `status` says how it read.
bool read_linked_replay(const char* link, replay_status* status, unsigned* rules) {
    std::string bytes, why;
    if (!download_linked_replay(link, &bytes, &why)) {
        std::fprintf(stderr, "blockdash: cannot play \"%s\": %s\n", link, why.c_str());
        return false;
    }
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    *status = read_replay_bytes(data, bytes.size(), given_replay);
    if (*status == replay_status::other_rules && bytes.size() >= 8) *rules = data[6] | data[7] << 8u;
    return true;
}

// Reads the file, or the round a link names, into `given_replay`; says on stderr why not.
bool read_replay_argument(const char* path) {
    unsigned rules = 0;
    replay_status status = replay_status::unreadable;
    if (is_web_address(path)) {
        if (!read_linked_replay(path, &status, &rules)) return false;
    } else {
        status = read_replay_file(path, given_replay, &rules);
    }
    if (status == replay_status::read) return true;
    if (status == replay_status::other_rules)
        std::fprintf(stderr,
                     "blockdash: \"%s\" was made by another version of the game's rules (%u); "
                     "this one plays replays of rules version %u only\n",
                     path, rules, static_cast<unsigned>(replay_rules_version));
    else
        std::fprintf(stderr, "blockdash: cannot play \"%s\": %s\n", path, replay_problem(status));
    return false;
}

}  // namespace

int watch_replay_file(const launch_options& options) {
    if (!read_replay_argument(options.replay_file.c_str())) return 1;
    use_real_host();
    if (!start_up(options)) return 1;
    watch_replay(given_replay);
    return shut_down() ? 0 : 1;
}

int verify_replay_file(const char* path) {
    if (!read_replay_argument(path)) return 1;
    prepare_headless_replay();  // the rules alone: no graphics library, no display
    const replay_outcome o = replay_headless(given_replay);
    // The name is the file's claim like the figures; a stranger's bytes are shown as '?'.
    char name[4] = {};
    for (int i = 0; i < 3; ++i) name[i] = given_replay.name[i] >= ' ' && given_replay.name[i] <= '~' ? given_replay.name[i] : '?';
    std::printf("name: %s\nscore: %d\nblocks cut: %d\nbest combo: %d\n", name, o.score, o.blocks_cut,
                o.best_combo);
    if (outcome_matches(given_replay, o)) return 0;
    if (!o.finished || o.input_damaged)
        std::fprintf(stderr, "blockdash: \"%s\": the round does not end on the replay's last frame (%d of %d)\n",
                     path, o.frames, given_replay.frames);
    else
        std::fprintf(stderr,
                     "blockdash: \"%s\" claims score %d, %d blocks cut and best combo %d; its input gives "
                     "the figures above\n",
                     path, given_replay.score, given_replay.blocks_cut, given_replay.best_combo);
    return 1;
}
