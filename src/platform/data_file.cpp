// Shared by the highscore and statistics readers.
#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

data_read refused(int error) { return {file_found::refused, error}; }

// Refused before it is opened: a FIFO would block the open, a device could do anything.
bool names_something_else(const char* path, data_read* result) {
    struct stat info;
    if (stat(path, &info) != 0) {
        *result = errno == ENOENT ? data_read{file_found::missing, 0} : refused(errno);
        return true;
    }
    if (!S_ISREG(info.st_mode)) {
        *result = refused(0);
        return true;
    }
    return false;
}

}  // namespace

data_read read_data_file(const char* path, char* bytes, size_t* size) {
    return read_data_file(path, bytes, data_file_read_limit, size);
}

data_read read_data_file(const char* path, char* bytes, size_t capacity, size_t* size) {
    *size = 0;
    data_read result = {file_found::read, 0};
    if (names_something_else(path, &result)) return result;
    // Non-blocking all the same, in case a FIFO took the file's place since the check.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? data_read{file_found::missing, 0} : refused(errno);
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) result = refused(0);
    while (result.found == file_found::read && *size < capacity) {
        const ssize_t got = read(fd, bytes + *size, capacity - *size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) result = refused(errno);
        if (got <= 0) break;
        *size += static_cast<size_t>(got);
    }
    close(fd);
    return result;
}

const char* refusal_reason(int error) { return error ? std::strerror(error) : "not a regular file"; }

namespace {

// The next free name for a copy, opened; -1 when none could be made.
int open_new_copy(const char* path, char* copy_path, size_t room) {
    for (int n = 1; n < 1000; ++n) {
        if (n == 1) std::snprintf(copy_path, room, "%s.damaged", path);
        else std::snprintf(copy_path, room, "%s.damaged.%d", path, n);
        const int fd = open(copy_path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool write_all(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t put = write(fd, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

bool copy_contents(int from, int to) {
    char chunk[8192];
    for (;;) {
        const ssize_t got = read(from, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return fsync(to) == 0;
        if (!write_all(to, chunk, static_cast<size_t>(got))) return false;
    }
}

}  // namespace

bool keep_damaged_copy(const char* path, char* copy_path, size_t copy_path_room) {
    const int from = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (from < 0) return false;
    const int to = open_new_copy(path, copy_path, copy_path_room);
    bool copied = to >= 0 && copy_contents(from, to);
    const int error = errno;
    if (to >= 0 && close(to) != 0) copied = false;
    if (to >= 0 && !copied) unlink(copy_path);
    close(from);
    errno = copied ? 0 : error;
    return copied;
}
