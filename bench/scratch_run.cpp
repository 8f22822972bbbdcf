#include "bench/scratch_run.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

// Runs in a scratch folder that links to the artwork, so the statistics that shut-down
// saves never land beside the assets or in a player's folder.
std::string enter_scratch_run_folder() {
    char here[PATH_MAX];
    if (!getcwd(here, sizeof here)) return "";
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/blockdash-bench-XXXXXX";
    if (!mkdtemp(tmpl.data())) return "";
    const std::string run = tmpl;
    for (const char* folder : {"KZ IMAGE", "KZ SOUND"}) {
        const std::string target = std::string(here) + "/" + folder;
        if (symlink(target.c_str(), (run + "/" + folder).c_str()) != 0) return "";
    }
    if (chdir(run.c_str()) != 0) return "";
    return run;
}

void leave_scratch_run_folder(const std::string& run) {
    for (const char* name : {"KZ IMAGE", "KZ SOUND", "KZ DATA/stats.dat", "KZ DATA/highscore.dat", "KZ DATA/save.lock", "KZ DATA"})
        std::remove((run + "/" + name).c_str());
    rmdir(run.c_str());
}

