// Reads pixels of a binary PPM screenshot. The end-to-end scripts check the real game's
// picture with it.
//   screen_probe shot.ppm x y [x y ...]              one "r g b" line per point
//   screen_probe shot.ppm count x0 y0 x1 y1 r g b    pixels of the rectangle (inclusive)
//                                                    that have colour (r, g, b)
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const bool counting = argc == 10 && std::string(argv[2]) == "count";
    if (!counting && (argc < 4 || argc % 2)) {
        std::fprintf(stderr, "usage: screen_probe shot.ppm x y [x y ...]\n");
        return 2;
    }
    FILE* f = std::fopen(argv[1], "rb");
    int w = 0, h = 0, max = 0;
    if (!f || std::fscanf(f, "P6 %d %d %d", &w, &h, &max) != 3 || max != 255 || std::fgetc(f) == EOF) {
        std::fprintf(stderr, "screen_probe: %s is not a binary PPM\n", argv[1]);
        return 2;
    }
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    if (std::fread(rgb.data(), 1, rgb.size(), f) != rgb.size()) {
        std::fprintf(stderr, "screen_probe: %s is truncated\n", argv[1]);
        return 2;
    }
    std::fclose(f);
    if (counting) {
        int v[7];
        for (int i = 0; i < 7; ++i) v[i] = std::atoi(argv[3 + i]);
        long n = 0;
        for (int y = std::max(0, v[1]); y <= std::min(h - 1, v[3]); ++y)
            for (int x = std::max(0, v[0]); x <= std::min(w - 1, v[2]); ++x) {
                const unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
                n += p[0] == v[4] && p[1] == v[5] && p[2] == v[6];
            }
        std::printf("%ld\n", n);
        return 0;
    }
    for (int i = 2; i < argc; i += 2) {
        const int x = std::atoi(argv[i]), y = std::atoi(argv[i + 1]);
        if (x < 0 || y < 0 || x >= w || y >= h) {
            std::printf("outside\n");
            continue;
        }
        const unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
        std::printf("%d %d %d\n", p[0], p[1], p[2]);
    }
    return 0;
}
