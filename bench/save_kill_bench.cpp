// Kills the game's saves part way, again and again, and checks what they leave behind.
//   save_kill_bench [kills]   (1000 by default)
// A child process saves both data files over and over, each time with the other of two
// contents; the parent kills it at a random moment, checks that each file holds one of
// the two contents whole, and counts the temporaries the kill left. Each child starts the
// way the game does, which must take those temporaries away.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/atomic_save.h"
#include "records/all_records.h"
#include "records/data_folder.h"
#include "records/highscore_file.h"
#include "records/highscore_table.h"
#include "records/lifetime_stats.h"

namespace {

const char* const stats_a = "120 3 7 260\n1 2 3";
const char* const stats_b = "9999 88 77 66666\n55 44 33";

void fill_table(char letter, int score) {
    for (record& row : highscore) row = {{letter, letter, letter}, score, 1};
}

std::string table_bytes(char letter, int score) {
    fill_table(letter, score);
    char bytes[highscore_text_room];
    return std::string(bytes, write_highscore_text(bytes));
}

std::string read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int count_temporaries() {
    int found = 0;
    DIR* dir = opendir("KZ DATA");
    if (!dir) return 0;
    while (dirent* e = readdir(dir))
        if (is_save_temporary(e->d_name, "stats.dat") || is_save_temporary(e->d_name, "highscore.dat"))
            ++found;
    closedir(dir);
    return found;
}

[[noreturn]] void save_until_killed() {
    load_records();  // as the game starts: the leftovers of the last kill go here
    for (int i = 0;; ++i) {
        fill_table(i % 2 ? 'B' : 'A', i % 2 ? 900 : 100);
        save_highscore(highscore_path);
        const char* stats = i % 2 ? stats_b : stats_a;
        save_atomically(stats_path, stats, std::strlen(stats));
    }
}

long long monotonic_us() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000LL + t.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char** argv) {
    const int kills = argc > 1 ? std::atoi(argv[1]) : 1000;
    char folder[] = "/tmp/blockdash-kill-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) return 1;
    mkdir("KZ DATA", 0755);
    const std::string table_a = table_bytes('A', 100);
    const std::string table_b = table_bytes('B', 900);
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    int damaged = 0;
    int left_behind = 0;
    int kills_with_leftovers = 0;
    const long long started = monotonic_us();
    for (int k = 0; k < kills; ++k) {
        const pid_t child = fork();
        if (child == 0) save_until_killed();
        usleep(2000 + std::rand() % 8000);  // past start-up, into the saves
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string table = read_file("KZ DATA/highscore.dat");
        const std::string stats = read_file("KZ DATA/stats.dat");
        if ((table != table_a && table != table_b) || (stats != stats_a && stats != stats_b)) ++damaged;
        const int found = count_temporaries();
        left_behind += found;
        kills_with_leftovers += found > 0;
    }
    load_records();
    const int after_last_start = count_temporaries();
    const double seconds = (monotonic_us() - started) / 1e6;

    std::printf("kills: %d\n", kills);
    std::printf("damaged_files: %d\n", damaged);
    std::printf("kills_that_left_a_temporary: %d\n", kills_with_leftovers);
    std::printf("temporaries_left_in_all: %d\n", left_behind);
    std::printf("temporaries_after_next_start: %d\n", after_last_start);
    std::printf("run_time: %.1f s\n", seconds);
    if (std::system((std::string("rm -rf '") + folder + "'").c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", folder);
    return damaged == 0 && after_last_start == 0 ? 0 : 1;
}
