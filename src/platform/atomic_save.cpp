// Temporary file, fsync, rename: the only way a save reaches the data files.
#include "platform/atomic_save.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

int sync_fd(int fd) { return fsync(fd); }

constexpr save_calls real_calls = {std::fwrite, std::fflush, sync_fd, std::fclose, std::rename};

constexpr size_t path_room = PATH_MAX;

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

// Never a device's mode: only a regular file passes its mode on.
mode_t new_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0644 & ~mask;
}

// Makes the rename itself survive a power cut; a failure here loses nothing already saved.
void sync_folder(const char* folder) {
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

bool write_and_sync(FILE* file, const char* bytes, size_t size) {
    if (save_io.write(bytes, 1, size, file) != size) return false;
    if (save_io.flush(file) != 0) return false;
    return save_io.sync(fileno(file)) == 0;
}

bool fail_keeping_errno(const char* temporary) {
    const int error = errno;
    unlink(temporary);
    errno = error;
    return false;
}

// The last resort, not atomic: a kill part way can leave the file short.
bool rewrite_in_place(const char* path, const char* bytes, size_t size, bool create) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC | (create ? O_CREAT : 0), new_file_mode());
    if (fd < 0) return false;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        return false;
    }
    const bool written = save_io.write(bytes, 1, size, file) == size && save_io.flush(file) == 0 &&
                         ftruncate(fileno(file), static_cast<off_t>(size)) == 0 &&
                         save_io.sync(fileno(file)) == 0;
    const int error = errno;
    const bool closed = save_io.close(file) == 0;
    if (!written) errno = error;
    return written && closed;
}

// The file the bytes belong in: a link's target, or `path` itself. False for a link that
// leads nowhere, which is then written through in place.
bool resolve_link(const char* path, char* target) {
    struct stat link;
    if (lstat(path, &link) != 0 || !S_ISLNK(link.st_mode)) {
        if (std::strlen(path) >= path_room) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::strcpy(target, path);
        return true;
    }
    return realpath(path, target) != nullptr;
}

bool dangling_link(const char* path) {
    struct stat link, target;
    return lstat(path, &link) == 0 && S_ISLNK(link.st_mode) && stat(path, &target) != 0 && errno == ENOENT;
}

}  // namespace

save_calls save_io = real_calls;

void use_real_save_calls() { save_io = real_calls; }

bool is_save_temporary(const char* name, const char* data_file_name) {
    const size_t length = std::strlen(data_file_name);
    if (std::strncmp(name, data_file_name, length) != 0 || name[length] != '.') return false;
    const char* suffix = name + length + 1;
    if (std::strlen(suffix) != 6) return false;
    for (const char* c = suffix; *c; ++c)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9'))) return false;
    return true;
}

bool save_atomically(const char* path, const char* bytes, size_t size) {
    char folder[path_room] = ".";
    if (folder_of(path, folder)) mkdir(folder, 0777);

    char target[path_room];
    if (!resolve_link(path, target)) {
        if (dangling_link(path)) return rewrite_in_place(path, bytes, size, true);
        return false;
    }
    struct stat existing;
    const bool exists = stat(target, &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        errno = 0;
        return false;
    }
    char target_folder[path_room] = ".";
    folder_of(target, target_folder);

    char temporary[path_room];
    const int written = std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", target);
    if (written < 0 || static_cast<size_t>(written) >= sizeof temporary) {
        errno = ENAMETOOLONG;
        return false;
    }
    const int fd = mkstemp(temporary);
    if (fd < 0) {
        // A shared folder the player cannot write to may still hold files they can.
        if ((errno == EACCES || errno == EPERM) && exists && access(target, W_OK) == 0)
            return rewrite_in_place(target, bytes, size, false);
        return false;
    }
    fchmod(fd, exists ? existing.st_mode & 07777 : new_file_mode());
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        return fail_keeping_errno(temporary);
    }
    const bool written_out = write_and_sync(file, bytes, size);
    const int error = errno;
    const bool closed = save_io.close(file) == 0;
    if (!written_out) errno = error;
    if (!written_out || !closed || save_io.rename(temporary, target) != 0) return fail_keeping_errno(temporary);
    sync_folder(target_folder);
    return true;
}
