// Writing the replay's pictures for tests, as binary PPM (the plain RGB of each pixel).
#include "screens/replay_pictures.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string folder;
std::set<int> wanted;

void write_ppm(const std::string& path, BITMAP* picture) {
    std::vector<unsigned char> rgb;
    rgb.reserve(static_cast<size_t>(picture->w * picture->h * 3));
    for (int y = 0; y < picture->h; ++y)
        for (int x = 0; x < picture->w; ++x) {
            const int c = getpixel(picture, x, y);
            rgb.push_back(static_cast<unsigned char>(getr32(c)));
            rgb.push_back(static_cast<unsigned char>(getg32(c)));
            rgb.push_back(static_cast<unsigned char>(getb32(c)));
        }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "blockdash: cannot write %s\n", path.c_str());
        return;
    }
    std::fprintf(f, "P6\n%d %d\n255\n", picture->w, picture->h);
    std::fwrite(rgb.data(), 1, rgb.size(), f);
    std::fclose(f);
}

}  // namespace

bool start_replay_pictures(int frames) {
    const char* asked = std::getenv("BLOCKDASH_REPLAY_PICTURES");
    wanted.clear();
    if (!asked || !*asked) return false;
    std::istringstream words(asked);
    words >> folder;
    for (std::string w; words >> w;) wanted.insert(w == "last" ? frames : std::atoi(w.c_str()));
    return true;
}

void keep_replay_picture(int played, BITMAP* picture) {
    if (wanted.count(played)) write_ppm(folder + "/frame-" + std::to_string(played) + ".ppm", picture);
}
