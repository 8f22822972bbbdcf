#include "records/all_records.h"

#include <cstring>

#include "platform/atomic_save.h"
#include "records/data_folder.h"
#include "records/display_choice.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"
#include "records/replay_store.h"

namespace {

const char* file_name(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// What a save killed part way left beside any of the data files or the replays.
bool left_by_a_killed_save(const char* name) {
    for (const char* path : {highscore_path, stats_path, display_choice_path})
        if (is_save_temporary(name, file_name(path))) return true;
    return is_replay_temporary(name);
}

}  // namespace

void load_records() {
    remove_save_temporaries(highscore_path, left_by_a_killed_save);
    load_highscore(highscore_path);
    // Nothing is removed here: only a save, under the lock, removes the replays of rows
    // it pushed out of the table.
    find_row_replays(highscore_path);
    load_stats(stats_path);
}

bool save_records() {
    const bool stats_kept = save_stats(stats_path);
    const bool entries_kept = save_held_highscores(highscore_path);
    return stats_kept && entries_kept && every_replay_saved();
}
