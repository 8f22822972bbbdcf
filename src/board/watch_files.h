// The files the watch page loads (its script, the round's module and the sprite sheets),
// read once at start from one folder and served from memory, each under a tag of its
// content so a browser keeps it until it changes.
// Threads: loaded by the main thread before the server runs; read-only after, by workers.
#pragma once

#include <map>
#include <string>

struct watch_file {
    std::string bytes;
    std::string content_type;
    std::string tag;  // 16 hex digits of the content's SHA-256
};

using watch_files = std::map<std::string, watch_file>;

// Every regular file directly in `folder` whose name is a plain one (letters, digits, '.',
// '_' and '-'). An absent folder gives none, and the page plays nothing; an unreadable
// file is a problem worth stopping for.
bool load_watch_files(const std::string& folder, watch_files& files, std::string& problem);

// Where the files are when --watch-files names no folder: a `watch` folder beside the
// program (a build tree), else the installed one, found from the installed program.
std::string default_watch_folder();
