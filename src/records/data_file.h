// Loading a data file into memory for its reader, with a bound on the work.
#pragma once

#include <cstddef>

// Both files are a few hundred bytes when the game writes them; a bigger file is read only
// this far and taken as ending there.
constexpr size_t data_file_read_limit = 64 * 1024;

// Reads up to data_file_read_limit bytes of `path` into `bytes`; false when it cannot be
// opened.
bool read_data_file(const char* path, char* bytes, size_t* size);
