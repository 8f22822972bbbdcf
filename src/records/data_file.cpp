// Shared by the highscore and statistics readers.
#include "records/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool read_data_file(const char* path, char* bytes, size_t* size) {
    // Non-blocking and regular files only: a pipe or a device in its place must not hang
    // start-up.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    *size = 0;
    while (*size < data_file_read_limit) {
        const ssize_t got = read(fd, bytes + *size, data_file_read_limit - *size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        *size += static_cast<size_t>(got);
    }
    close(fd);
    return true;
}
