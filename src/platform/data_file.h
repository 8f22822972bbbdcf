// Loading a data file into memory for its reader, with a bound on the work.
#pragma once

#include <cstddef>

// Both files are a few hundred bytes when the game writes them; a bigger file is read only
// this far and taken as ending there.
constexpr size_t data_file_read_limit = 64 * 1024;

// A file that is not there gets the defaults; one that is there but cannot be read (no
// permission, an I/O error, not a regular file) must never be replaced by a save.
enum class file_found { read, missing, refused };

struct data_read {
    file_found found;
    int error;  // errno of a refusal; 0 for "not a regular file"
};

// Reads up to data_file_read_limit bytes of `path` into `bytes`.
data_read read_data_file(const char* path, char* bytes, size_t* size);

// The same with a bound of the caller's own (the replays are bigger).
data_read read_data_file(const char* path, char* bytes, size_t capacity, size_t* size);

// "Permission denied", or "not a regular file" for an error of 0.
const char* refusal_reason(int error);

// Copies the file at `path`, all of it, to a new file beside it: "<path>.damaged", or
// "<path>.damaged.2" and on when that is taken, so no earlier copy is ever written over.
// On success `copy_path` names the copy; on failure nothing is left and errno says why.
bool keep_damaged_copy(const char* path, char* copy_path, size_t copy_path_room);
