#include "records/all_records.h"

#include "records/data_folder.h"
#include "records/display_choice.h"
#include "records/highscore_file.h"
#include "records/lifetime_stats.h"

void load_records() {
    const char* const files[] = {highscore_path, stats_path, display_choice_path};
    remove_save_temporaries(files, 3);
    load_highscore(highscore_path);
    load_stats(stats_path);
}

bool save_records() {
    const bool stats_kept = save_stats(stats_path);
    const bool entries_kept = save_held_highscores(highscore_path);
    return stats_kept && entries_kept;
}
