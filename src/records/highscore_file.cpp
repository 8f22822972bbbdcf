// Reading and writing the highscore file; the ranking lives in highscore_table.cpp.
#include "records/highscore_file.h"

#include <cerrno>
#include <cstdio>

#include "platform/atomic_save.h"
#include "platform/data_file.h"
#include "records/data_folder.h"
#include "records/highscore_table.h"
#include "records/replay_store.h"
#include "records/scan_text.h"

const char* const highscore_path = "KZ DATA//highscore.dat";

namespace {
// One line per row, for reading and writing alike; note the blank before the line feed.
const char* const row_format = "%c %c %c %i %i \n";

// Set when start-up found a file it could not read: it is never saved over.
bool file_refused = false;

// Entries made this session that are not on disk yet, oldest first.
record held[highscore_rows];
int held_count = 0;

void hold(const record& entry) {
    if (held_count == highscore_rows) {
        for (int i = 1; i < highscore_rows; ++i) held[i - 1] = held[i];
        --held_count;
    }
    held[held_count++] = entry;
}

// An entry that goes only into the table in memory; its rows' replays move with it.
int add_in_memory(const record& entry) {
    const int row = add_highscore(entry);
    move_row_replays(row);
    return row;
}

void tell_unsaved(const char* path, const char* reason) {
    tell_not_saved(data_file_kind::highscores, "The highscores could not be saved.",
                   "cannot save \"%s\": %s", path, reason);
}

// The entries go into the table as it stands on disk; with one copy of the game that is
// the table in memory, so the bytes written are the same either way.
int merge_held_into(const char* path, const record& newest, bool newest_in_memory,
                    const replay* newest_replay) {
    static char bytes[data_file_read_limit];
    size_t size = 0;
    const data_read on_disk = read_data_file(path, bytes, &size);
    if (on_disk.found == file_found::refused) {
        tell_unsaved(path, refusal_reason(on_disk.error));
        return newest_in_memory ? highscore_rows : add_in_memory(newest);
    }
    int row = highscore_rows;
    if (on_disk.found == file_found::read) {
        for (record& r : highscore) r = {};
        const bool damaged = read_highscore_text(bytes, size) == text_fit::damaged;
        find_row_replays(path);
        for (int i = 0; i < held_count; ++i) {
            row = add_highscore(held[i]);
            move_row_replays(row);
        }
        if (damaged && !keep_damaged_file(data_file_kind::highscores, path)) {
            forget_pushed_out_replays();
            return row;
        }
    } else {
        find_row_replays(path);  // the table in memory is the one to be saved
        if (!newest_in_memory) row = add_in_memory(newest);  // earlier entries are in memory already
    }
    // The replay first: a kill before the table is saved leaves a file no row names yet.
    std::string file;
    if (newest_replay && row < highscore_rows && save_replay_file(path, *newest_replay, &file))
        row_replay[row] = file;
    const bool saved = save_highscore(path);
    if (saved) {
        held_count = 0;
        save_replay_index(path);
    } else {
        forget_pushed_out_replays();
    }
    return row;
}

}  // namespace

text_fit read_highscore_text(const char* bytes, size_t size) {
    text_scanner in = scan_bytes(bytes, size);
    for (record& row : highscore) {
        record read = {};
        if (scan_text(&in, row_format, &read.name[0], &read.name[1], &read.name[2], &read.score,
                      &read.extra) != 5)
            return fit_of(in, false);
        row = read;
    }
    return fit_of(in, true);
}

size_t write_highscore_text(char* out) {
    size_t length = 0;
    for (const record& row : highscore) {
        // A NUL name character is written as the NUL byte, as fprintf writes it.
        length += static_cast<size_t>(std::snprintf(out + length, highscore_text_room - length,
                                                    row_format, row.name[0], row.name[1],
                                                    row.name[2], row.score, row.extra));
    }
    return length;
}

void load_highscore(const char* path) {
    static char bytes[data_file_read_limit];
    size_t size = 0;
    const data_read result = read_data_file(path, bytes, &size);
    file_refused = result.found == file_found::refused;
    if (result.found == file_found::read) read_highscore_text(bytes, size);
    if (result.found == file_found::missing)
        for (int i = 0; i < highscore_rows; ++i) highscore[i] = default_highscore[i];
    if (file_refused)
        tell_not_saved(data_file_kind::highscores, "The highscore file cannot be read; it will not be saved.",
                    "cannot read \"%s\": %s; the highscores will not be saved this session", path,
                    refusal_reason(result.error));
}

bool save_highscore(const char* path) {
    char bytes[highscore_text_room];
    if (save_atomically(path, bytes, write_highscore_text(bytes))) {
        tell_saved(data_file_kind::highscores);
        return true;
    }
    tell_unsaved(path, refusal_reason(errno));
    return false;
}

bool highscore_file_refused() { return file_refused; }

int enter_highscore(const char* path, record entry, const replay* of_round) {
    hold(entry);
    if (file_refused) return add_in_memory(entry);
    const data_folder_lock lock(path);
    tell_if_unlocked(lock, path);
    return merge_held_into(path, entry, false, of_round);
}

bool save_held_highscores(const char* path) {
    if (held_count == 0) return true;
    if (file_refused) return false;
    const data_folder_lock lock(path);
    tell_if_unlocked(lock, path);
    merge_held_into(path, held[held_count - 1], true, nullptr);
    return held_count == 0;
}
