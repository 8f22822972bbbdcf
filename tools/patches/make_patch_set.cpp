// Builds patches.dat for Allegro's software synthesiser with only the instruments the
// music plays, taken from a TiMidity patch collection (Debian's freepats):
//   make_patch_set <music.mid> <timidity index> <pat2dat> <patches.dat> <work folder>
// pat2dat finds patch files relative to its index and keeps their names as object names,
// so the work folder gets a short link per patch and the index DIGMID reads.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "patch_set.h"

namespace fs = std::filesystem;

namespace {

bool verbose = false;  // -v lists the patch chosen for each instrument

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "make_patch_set: %s\n", what.c_str());
    std::exit(1);
}

// TiMidity looks in the folders of its "dir" lines, the latest first, then beside the
// index, and adds ".pat" when the name has none.
fs::path find_patch(const PatchLibrary& library, const fs::path& index_dir, const std::string& name) {
    std::vector<fs::path> places;
    for (auto d = library.dirs.rbegin(); d != library.dirs.rend(); ++d) places.push_back(index_dir / *d / name);
    places.push_back(index_dir / name);
    for (const fs::path& p : places) {
        std::error_code ec;
        if (fs::is_regular_file(p, ec)) return fs::canonical(p);
        fs::path with_ext = p;
        with_ext += ".pat";
        if (fs::is_regular_file(with_ext, ec)) return fs::canonical(with_ext);
    }
    return {};
}

// Links every wanted patch into the work folder under a short name; returns the index
// entries (number -> link name).
std::map<int, std::string> link_patches(const std::set<int>& wanted, const std::map<int, std::string>& known,
                                        const PatchLibrary& library, const fs::path& index_dir,
                                        const fs::path& work, const char* kind, std::string& missing) {
    std::map<int, std::string> entries;
    for (int n : wanted) {
        auto it = known.find(n);
        fs::path file = it == known.end() ? fs::path() : find_patch(library, index_dir, it->second);
        if (file.empty()) {
            missing += std::string(" ") + kind + " " + std::to_string(n);
            continue;
        }
        char name[32];
        std::snprintf(name, sizeof name, "%s_%03d.pat", kind, n);
        fs::create_symlink(file, work / name);
        if (verbose) std::printf("%s %d: %s\n", kind, n, file.c_str());
        entries[n] = name;
    }
    return entries;
}

// pat2dat keeps paths in small buffers, so it runs inside the work folder on short names.
void run_pat2dat(const std::string& pat2dat, const fs::path& work) {
    pid_t child = fork();
    if (child < 0) fail("cannot start pat2dat");
    if (child == 0) {
        int log = open((work / "pat2dat.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(work.c_str()) != 0 || log < 0) _exit(127);
        dup2(log, 1);
        dup2(log, 2);
        execlp(pat2dat.c_str(), pat2dat.c_str(), "-o", "patches.dat", "patches.cfg", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !fs::exists(work / "patches.dat"))
        fail("pat2dat failed; see " + (work / "pat2dat.log").string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "-v") {
        verbose = true;
        --argc;
        ++argv;
    }
    if (argc != 6) {
        std::fprintf(stderr, "usage: make_patch_set [-v] <music.mid> <timidity index> <pat2dat> <patches.dat> <work folder>\n");
        return 2;
    }
    const fs::path music = argv[1], index = fs::absolute(argv[2]), output = argv[4], work = argv[5];

    std::ifstream music_in(music, std::ios::binary);
    if (!music_in) fail("cannot read " + music.string());
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(music_in)), std::istreambuf_iterator<char>());
    PatchNeeds needs;
    std::string fault = scan_midi(bytes, needs);
    if (!fault.empty()) fail(music.string() + ": " + fault);

    std::ifstream index_in(index);
    if (!index_in) fail("cannot read " + index.string() + " (is freepats installed?)");
    PatchLibrary library;
    fault = read_timidity_index(index_in, library);
    if (!fault.empty()) fail(index.string() + ": " + fault);

    fs::remove_all(work);
    fs::create_directories(work);
    std::string missing;
    auto programs = link_patches(needs.programs, library.programs, library, index.parent_path(), work, "tone", missing);
    auto drums = link_patches(needs.drums, library.drums, library, index.parent_path(), work, "drum", missing);
    if (!missing.empty()) fail(index.string() + " has no patch for" + missing);

    std::ofstream(work / "patches.cfg") << digmid_index(programs, drums);
    run_pat2dat(argv[3], work);
    fs::copy_file(work / "patches.dat", output, fs::copy_options::overwrite_existing);
    return 0;
}
