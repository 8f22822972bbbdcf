// Reading and writing the statistics file.
#include <cstdio>

#include "records/atomic_save.h"
#include "records/data_file.h"
#include "records/lifetime_stats.h"
#include "records/scan_text.h"

const char* const stats_path = "KZ DATA//stats.dat";

namespace {
// The second line has no line end: the file ends right after its last digit.
const char* const totals_format = "%i %i %i %i\n";
const char* const play_time_format = "%i %i %i";
}  // namespace

void read_stats_text(const char* bytes, size_t size) {
    text_scanner in = scan_bytes(bytes, size);
    scan_text(&in, totals_format, &t_blocks_cut, &t_games, &m_combo, &m_score);
    scan_text(&in, play_time_format, &t_play_time[2], &t_play_time[1], &t_play_time[0]);
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
    if (read_data_file(path, bytes, &size)) read_stats_text(bytes, size);
}

void save_stats(const char* path) {
    char bytes[stats_text_room];
    save_atomically(path, bytes, write_stats_text(bytes));
}
