// Figures for the program around the round, printed as `name: value unit` lines.
//   shell_bench startup <runs>           start-up time: process start to the first
//                                        title frame composed (needs a display)
//   shell_bench title-cpu <game> <secs>  CPU use of the real game on the title menu
// Start them in a folder that holds "KZ IMAGE" and "KZ SOUND"; they run the game in a
// scratch folder linked to those, so nothing is written beside the assets.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "bench/scratch_run.h"
#include "app/lifecycle.h"
#include "platform/surfaces.h"
#include "screens/title_menu.h"

extern char** environ;

namespace {

long long monotonic_us() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000LL + t.tv_nsec / 1000;
}

pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    return pid;
}

// The child: the game's own start-up, then one title frame composed.
int startup_child(long long spawned_at_us) {
    if (!start_up(launch_options{})) return 1;
    enter_title_menu();
    draw_title_menu(buffer);
    const long long composed_at = monotonic_us();
    std::printf("%lld\n", composed_at - spawned_at_us);
    std::fflush(stdout);
    shut_down();
    return 0;
}

int startup(int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        int out[2];
        if (pipe(out) != 0) return 1;
        const long long t0 = monotonic_us();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<std::string> args = {"shell_bench", "startup-child", std::to_string(t0)};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ) != 0) return 1;
        close(out[1]);
        char line[64] = {};
        const ssize_t n = read(out[0], line, sizeof line - 1);
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (n <= 0) {
            std::fprintf(stderr, "start-up failed (is DISPLAY set, are the assets here?)\n");
            return 1;
        }
        ms.push_back(std::atoll(line) / 1000.0);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("startup_to_first_title_frame_median: %.1f ms\n", ms[ms.size() / 2]);
    std::printf("startup_to_first_title_frame_max: %.1f ms\n", ms.back());
    return 0;
}

// utime + stime of a process, in clock ticks.
long long cpu_ticks(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* f = std::fopen(path, "r");
    if (!f) return -1;
    char buf[1024] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    // Fields after the command name, which ends with the last ')'.
    const char* p = std::strrchr(buf, ')');
    if (!p) return -1;
    long long utime = 0, stime = 0;
    if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lld %lld", &utime, &stime) != 2)
        return -1;
    return utime + stime;
}

int title_cpu(const char* game, int seconds) {
    const pid_t pid = spawn({game});
    // Past the start-up and the wipe: the menu is idle, waiting for a click.
    usleep(1500 * 1000);
    const long long t0 = monotonic_us(), c0 = cpu_ticks(pid);
    usleep(seconds * 1000000);
    const long long t1 = monotonic_us(), c1 = cpu_ticks(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    if (c0 < 0 || c1 < 0) {
        std::fprintf(stderr, "the game ended early (is DISPLAY set, are the assets here?)\n");
        return 1;
    }
    const double cpu_s = static_cast<double>(c1 - c0) / sysconf(_SC_CLK_TCK);
    std::printf("title_menu_cpu: %.1f percent_of_one_core\n", 100.0 * cpu_s / ((t1 - t0) / 1e6));
    return 0;
}

std::string realpath_or_empty(const char* path) {
    char resolved[PATH_MAX];
    return realpath(path, resolved) ? resolved : "";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "startup-child" && argc > 2) return startup_child(std::atoll(argv[2]));
    if ((mode != "startup" && mode != "title-cpu") || (mode == "title-cpu" && argc < 3)) {
        std::fprintf(stderr, "usage: shell_bench startup [runs] | title-cpu <game> [seconds]\n");
        return 2;
    }
    // The game path may be relative to where we were started.
    const std::string game = mode == "title-cpu" ? realpath_or_empty(argv[2]) : "";
    const std::string run = enter_scratch_run_folder();
    if (run.empty()) {
        std::fprintf(stderr, "shell_bench: cannot prepare a run folder\n");
        return 1;
    }
    const int result = mode == "startup" ? startup(argc > 2 ? std::atoi(argv[2]) : 10)
                                         : title_cpu(game.c_str(), argc > 3 ? std::atoi(argv[3]) : 5);
    leave_scratch_run_folder(run);
    return result;
}
