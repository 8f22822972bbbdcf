// Shared by the highscore and statistics readers.
#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
