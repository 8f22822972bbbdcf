// Reading the watch page's files into memory.
#include "board/watch_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "board/tickets.h"

// The installed folder, from the installed program's.
#ifndef BLOCKDASH_BOARD_WATCH_FROM_PROGRAM
#define BLOCKDASH_BOARD_WATCH_FROM_PROGRAM "../share/blockdash-board/watch"
#endif

namespace {

bool plain_name(const std::string& name) {
    if (name.empty() || name[0] == '.' || name.size() > 100) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') return false;
    return true;
}

std::string type_of(const std::string& name) {
    const size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (ext == "js") return "text/javascript; charset=utf-8";
    if (ext == "wasm") return "application/wasm";
    if (ext == "css") return "text/css; charset=utf-8";
    if (ext == "png") return "image/png";
    if (ext == "json") return "application/json";
    return "application/octet-stream";
}

bool is_folder(const std::string& path) {
    struct stat s{};
    return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

}  // namespace

bool load_watch_files(const std::string& folder, watch_files& files, std::string& problem) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        if (errno == ENOENT) return true;
        problem = "cannot read the watch page's folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string path = folder + "/" + name;
        struct stat s{};
        if (!plain_name(name) || stat(path.c_str(), &s) != 0 || !S_ISREG(s.st_mode)) continue;
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        if (!in || static_cast<off_t>(bytes.str().size()) != s.st_size) {
            closedir(dir);
            problem = "cannot read " + path;
            return false;
        }
        watch_file& f = files[name];
        f.bytes = bytes.str();
        f.content_type = type_of(name);
        f.tag = sha256_hex(f.bytes).substr(0, 16);
    }
    closedir(dir);
    return true;
}

std::string default_watch_folder() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "watch";
    std::string program_dir(self, static_cast<size_t>(n));
    program_dir = program_dir.substr(0, program_dir.rfind('/') + 1);
    if (is_folder(program_dir + "watch")) return program_dir + "watch";
    return program_dir + BLOCKDASH_BOARD_WATCH_FROM_PROGRAM;
}
