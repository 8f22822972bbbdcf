// Reading and writing the statistics file, and merging with what another copy saved.
#include <cerrno>
#include <cstdio>

#include "platform/atomic_save.h"
#include "platform/data_file.h"
#include "records/data_folder.h"
#include "records/lifetime_stats.h"
#include "records/scan_text.h"

const char* const stats_path = "KZ DATA//stats.dat";

namespace {
// The second line has no line end: the file ends right after its last digit.
const char* const totals_format = "%i %i %i %i\n";
const char* const play_time_format = "%i %i %i";

// Set when start-up found a file it could not read: it is never saved over.
bool file_refused = false;
// The figures as this session last read or wrote them: what it has added since is the
// difference to the figures in memory.
lifetime_figures last_on_disk = {};

int32_t add_ours(int32_t disk, int32_t base, int32_t ours) {
    return add_clamped(disk, int64_t{ours} - base);
}

// A maximum nobody else changed is ours as it stands; otherwise the larger one wins.
int32_t best_of(int32_t disk, int32_t base, int32_t ours) {
    return disk == base ? ours : disk > ours ? disk : ours;
}

bool same_time(const lifetime_figures& a, const lifetime_figures& b) {
    return a.play_time[0] == b.play_time[0] && a.play_time[1] == b.play_time[1] &&
           a.play_time[2] == b.play_time[2];
}

lifetime_figures figures_in_text(const char* bytes, size_t size, text_fit* fit) {
    const lifetime_figures held = current_figures();
    use_figures({});
    *fit = read_stats_text(bytes, size);
    const lifetime_figures read = current_figures();
    use_figures(held);
    return read;
}

void tell_unsaved(const char* path, const char* reason) {
    tell_not_saved(data_file_kind::statistics, "The statistics could not be saved.",
                   "cannot save \"%s\": %s", path, reason);
}

}  // namespace

lifetime_figures merge_figures(const lifetime_figures& disk, const lifetime_figures& base,
                               const lifetime_figures& ours) {
    lifetime_figures merged = disk;
    merged.blocks_cut = add_ours(disk.blocks_cut, base.blocks_cut, ours.blocks_cut);
    merged.games = add_ours(disk.games, base.games, ours.games);
    merged.combo = best_of(disk.combo, base.combo, ours.combo);
    merged.score = best_of(disk.score, base.score, ours.score);
    if (same_time(disk, base)) {
        for (int i = 0; i < 3; ++i) merged.play_time[i] = ours.play_time[i];
    } else if (!same_time(ours, base)) {
        for (int i = 0; i < 3; ++i)
            merged.play_time[i] = add_ours(disk.play_time[i], base.play_time[i], ours.play_time[i]);
        update_long_timer(&merged.play_time[2], &merged.play_time[1], &merged.play_time[0]);
    }
    return merged;
}

text_fit read_stats_text(const char* bytes, size_t size) {
    text_scanner in = scan_bytes(bytes, size);
    const bool totals_read = scan_text(&in, totals_format, &t_blocks_cut, &t_games, &m_combo, &m_score) == 4;
    // As fscanf does, the second line's format picks up where the first one stopped.
    const text_scanner after_totals = in;
    const bool time_read =
        scan_text(&in, play_time_format, &t_play_time[2], &t_play_time[1], &t_play_time[0]) == 3;
    return totals_read ? fit_of(in, time_read) : fit_of(after_totals, false);
}

size_t write_stats_text(char* out) {
    const int totals = std::snprintf(out, stats_text_room, totals_format, t_blocks_cut, t_games,
                                     m_combo, m_score);
    const int play_time = std::snprintf(out + totals, stats_text_room - totals, play_time_format,
                                        t_play_time[2], t_play_time[1], t_play_time[0]);
    return static_cast<size_t>(totals + play_time);
}

void load_stats(const char* path) {
    static char bytes[data_file_read_limit];
    size_t size = 0;
    const data_read result = read_data_file(path, bytes, &size);
    file_refused = result.found == file_found::refused;
    if (result.found == file_found::read) read_stats_text(bytes, size);
    last_on_disk = current_figures();
    if (file_refused)
        tell_not_saved(data_file_kind::statistics, "The statistics file cannot be read; it will not be saved.",
                    "cannot read \"%s\": %s; the statistics will not be saved this session", path,
                    refusal_reason(result.error));
}

bool save_stats(const char* path) {
    if (file_refused) return false;
    const data_folder_lock lock(path);
    tell_if_unlocked(lock, path);
    static char bytes[data_file_read_limit];
    size_t size = 0;
    const data_read on_disk = read_data_file(path, bytes, &size);
    if (on_disk.found == file_found::refused) {
        tell_unsaved(path, refusal_reason(on_disk.error));
        return false;
    }
    const lifetime_figures ours = current_figures();
    if (on_disk.found == file_found::read) {
        text_fit fit;
        const lifetime_figures disk = figures_in_text(bytes, size, &fit);
        if (fit == text_fit::damaged && !keep_damaged_file(data_file_kind::statistics, path)) return false;
        use_figures(merge_figures(disk, last_on_disk, ours));
    }
    char text[stats_text_room];
    if (!save_atomically(path, text, write_stats_text(text))) {
        tell_unsaved(path, refusal_reason(errno));
        use_figures(ours);  // the next save merges again from what is on disk then
        return false;
    }
    last_on_disk = current_figures();
    tell_saved(data_file_kind::statistics);
    return true;
}
