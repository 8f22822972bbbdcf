// Saving a data file so that it holds either all of its old bytes or all of the new ones,
// whatever happens part way: a crash, a kill, a full disk.
#pragma once

#include <cstddef>
#include <cstdio>

// Writes the bytes to a temporary beside `path`, flushes it to the disk, then renames it
// over `path`. Creates the file's folder when it is missing. On any failure the temporary
// is removed, `path` is left as it was, errno says why (0: `path` is not a regular file)
// and the result is false.
//
// A symbolic link is saved through: its target is replaced and the link stays. A folder
// that cannot take a temporary, holding a file that can be written, gets the file
// rewritten in place instead. A new file gets 0644 less the umask.
bool save_atomically(const char* path, const char* bytes, size_t size);

// The calls of a save that can fail; tests swap them to make a save fail part way.
struct save_calls {
    size_t (*write)(const void* data, size_t size, size_t count, FILE* file);
    int (*flush)(FILE* file);
    int (*sync)(int fd);
    int (*close)(FILE* file);
    int (*rename)(const char* from, const char* to);
};

extern save_calls save_io;
void use_real_save_calls();

// The name mkstemp gives a save's temporary: the file's own name, a dot and six characters.
bool is_save_temporary(const char* name, const char* data_file_name);
