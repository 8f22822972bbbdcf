// "KZ DATA" as a whole: the lock that lets two copies of the game share it, the tidy-up
// of temporaries a killed save left, and the word to the player when data is not safe.
#pragma once

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
    bool usable() const { return usable_; }

private:
    int fd_ = -1;
    bool usable_ = true;
};

// The last trouble with the data files, for the screens to show in one line; empty when
// there is none.
extern char data_notice[81];

// Says it on stderr in full and keeps `screen_line` for the screens.
void tell_player(const char* screen_line, const char* format, ...);

// Start-up: removes what saves killed part way left beside the files at `data_paths`, all
// in one folder, unless another copy of the game holds the lock.
void remove_save_temporaries(const char* const* data_paths, int count);
