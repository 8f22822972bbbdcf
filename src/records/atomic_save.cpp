// Temporary file, fsync, rename: the only way a save reaches the data files.
#include "records/atomic_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

int sync_fd(int fd) { return fsync(fd); }

constexpr save_calls real_calls = {std::fwrite, std::fflush, sync_fd, std::fclose, std::rename};

constexpr size_t path_room = 1024;

// "KZ DATA//stats.dat" -> "KZ DATA"; false when the path names no folder.
bool folder_of(const char* path, char* folder) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) return false;
    while (slash > path && slash[-1] == '/') --slash;
    const size_t length = slash == path ? 1 : static_cast<size_t>(slash - path);
    if (length >= path_room) return false;
    std::memcpy(folder, path, length);
    folder[length] = '\0';
    return true;
}

// The mode plain fopen() would give a new file, or the mode the file already has.
mode_t mode_for(const char* path) {
    struct stat existing;
    if (stat(path, &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Makes the rename itself survive a power cut; a failure here loses nothing already saved.
void sync_folder(const char* folder) {
    const int fd = open(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

bool write_and_sync(FILE* file, const char* bytes, size_t size) {
    if (save_io.write(bytes, 1, size, file) != size) return false;
    if (save_io.flush(file) != 0) return false;
    return save_io.sync(fileno(file)) == 0;
}

}  // namespace

save_calls save_io = real_calls;

void use_real_save_calls() { save_io = real_calls; }

bool save_atomically(const char* path, const char* bytes, size_t size) {
    char folder[path_room] = ".";
    if (folder_of(path, folder)) mkdir(folder, 0777);

    char temporary[path_room];
    const int written = std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", path);
    if (written < 0 || static_cast<size_t>(written) >= sizeof temporary) return false;
    const int fd = mkstemp(temporary);
    if (fd < 0) return false;
    fchmod(fd, mode_for(path));
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temporary);
        return false;
    }
    const bool written_out = write_and_sync(file, bytes, size);
    const bool closed = save_io.close(file) == 0;
    if (!written_out || !closed || save_io.rename(temporary, path) != 0) {
        unlink(temporary);
        return false;
    }
    sync_folder(folder);
    return true;
}
