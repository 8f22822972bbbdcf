// Reading and writing the highscore file; the ranking lives in highscore_table.cpp.
#include "records/highscore_file.h"

#include <cstdio>

#include "records/atomic_save.h"
#include "records/data_file.h"
#include "records/highscore_table.h"
#include "records/scan_text.h"

const char* const highscore_path = "KZ DATA//highscore.dat";

namespace {
// One line per row, for reading and writing alike; note the blank before the line feed.
const char* const row_format = "%c %c %c %i %i \n";
}  // namespace

void read_highscore_text(const char* bytes, size_t size) {
    text_scanner in = scan_bytes(bytes, size);
    for (record& row : highscore) {
        record read = {};
        if (scan_text(&in, row_format, &read.name[0], &read.name[1], &read.name[2], &read.score,
                      &read.extra) != 5)
            return;
        row = read;
    }
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
    if (read_data_file(path, bytes, &size)) read_highscore_text(bytes, size);
}

void save_highscore(const char* path) {
    char bytes[highscore_text_room];
    save_atomically(path, bytes, write_highscore_text(bytes));
}
