// "KZ DATA" as a whole: the lock that lets two copies of the game share it, the tidy-up
// of temporaries a killed save left, and the word to the player when data is not safe.
#pragma once

#include <string>

// Held while a save reads what is on disk and writes its merge, so two copies of the game
// never overwrite each other's rounds. Taken on "save.lock" in the data file's folder.
class data_folder_lock {
public:
    explicit data_folder_lock(const char* data_path);
    ~data_folder_lock();
    data_folder_lock(const data_folder_lock&) = delete;
    data_folder_lock& operator=(const data_folder_lock&) = delete;

    // False only when another copy kept the lock past the deadline. A folder where no lock
    // file can be made is used unlocked: nothing there can be replaced by a rename anyway.
    // Saves go ahead either way (each file is replaced whole by a rename); without the lock
    // they say so, through tell_if_unlocked.
    bool usable() const { return usable_; }

private:
    int fd_ = -1;
    bool usable_ = true;
};

// The last trouble with the data files, for the screens to show in one line; empty when
// there is none.
extern char data_notice[81];

// Says it on stderr in full, once a session, and keeps `screen_line` for the screens.
void tell_player(const char* screen_line, const char* format, ...);

// The files whose saves the notice line follows; the replays with their index are one.
enum class data_file_kind { highscores, statistics, replays };

// A file of that kind is not saved (a save failed, or the file may not be written over):
// stderr says why, once a session, and the notice line names every file not saved.
void tell_not_saved(data_file_kind kind, const char* screen_line, const char* format, ...);

// A save of that kind went through: the notice line stops naming it.
void tell_saved(data_file_kind kind);

// A save is about to write over a file its reader could not read to its end (a damaged
// or foreign file): keeps a copy of it beside it first, once a session per file, and says
// so. False when no copy could be made: then the file must not be written over.
bool keep_damaged_file(data_file_kind kind, const char* path);

// After a lock that another copy kept past the deadline: says the save goes ahead without it.
void tell_if_unlocked(const data_folder_lock& lock, const char* path);

// Start-up: removes the files `is_leftover` names (what saves killed part way left) from
// the folder of `data_path`, unless another copy of the game holds the lock. True when the
// folder is there and was tidied.
bool remove_save_temporaries(const char* data_path, bool (*is_leftover)(const char* name));

// The folder that holds `path`: "." for a bare name, trailing slashes dropped.
std::string folder_of(const char* path);
