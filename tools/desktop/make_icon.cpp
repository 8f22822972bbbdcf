// The desktop icon, cut from the game's own sprite sheet: the standing player, magenta
// made transparent, scaled up by whole pixels so the pixel art stays sharp, or down by
// averaging the pixels that fall into each icon pixel.
//   make_icon <player.bmp> <icon.png> <size>
// The PNG is written uncompressed (stored deflate blocks), which needs no zlib.
#include <allegro.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const int pose_x = 64, pose_y = 0, pose_size = 64;  // the middle pose of the sheet

std::uint32_t crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

void chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
    put32(png, std::uint32_t(data.size()));
    std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(png, crc32(png.data() + start, png.size() - start));
}

// A zlib stream of stored blocks.
std::vector<std::uint8_t> zlib_stored(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t at = 0;
    do {
        std::size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.push_back(std::uint8_t(n));
        z.push_back(std::uint8_t(n >> 8));
        z.push_back(std::uint8_t(~n));
        z.push_back(std::uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(at), raw.begin() + long(at + n));
        at += n;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, b << 16 | a);
    return z;
}

std::vector<std::uint8_t> encode_png(int size, const std::vector<std::uint8_t>& rgba) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<std::uint8_t> header;
    put32(header, std::uint32_t(size));
    put32(header, std::uint32_t(size));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, no interlace
    chunk(png, "IHDR", header);
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < size; ++y) {
        raw.push_back(0);  // no filter
        raw.insert(raw.end(), rgba.begin() + long(y) * size * 4, rgba.begin() + long(y + 1) * size * 4);
    }
    chunk(png, "IDAT", zlib_stored(raw));
    chunk(png, "IEND", {});
    return png;
}

}  // namespace

int main(int argc, char** argv) {
    int size = argc == 4 ? std::atoi(argv[3]) : 0;
    if (size < 1 || (size > pose_size && size % pose_size != 0)) {
        std::fprintf(stderr, "usage: make_icon <player.bmp> <icon.png> <size: up to 64, or a multiple of 64>\n");
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(32);
    BITMAP* sheet = load_bitmap(argv[1], nullptr);
    if (!sheet || sheet->w < pose_x + pose_size || sheet->h < pose_y + pose_size) {
        std::fprintf(stderr, "make_icon: cannot use %s\n", argv[1]);
        return 1;
    }
    const int magenta = makecol(255, 0, 255);
    std::vector<std::uint8_t> rgba;
    if (size >= pose_size) {
        const int scale = size / pose_size;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                int c = getpixel(sheet, pose_x + x / scale, pose_y + y / scale);
                bool clear = c == magenta;
                rgba.insert(rgba.end(), {std::uint8_t(clear ? 0 : getr(c)), std::uint8_t(clear ? 0 : getg(c)),
                                         std::uint8_t(clear ? 0 : getb(c)), std::uint8_t(clear ? 0 : 255)});
            }
        }
    } else {
        // Colour is weighted by coverage, so transparent pixels do not darken the edges.
        struct sum { long r = 0, g = 0, b = 0, opaque = 0, all = 0; };
        std::vector<sum> sums(std::size_t(size) * size);
        for (int y = 0; y < pose_size; ++y) {
            for (int x = 0; x < pose_size; ++x) {
                sum& s = sums[std::size_t(y * size / pose_size) * size + x * size / pose_size];
                int c = getpixel(sheet, pose_x + x, pose_y + y);
                ++s.all;
                if (c == magenta) continue;
                s.r += getr(c);
                s.g += getg(c);
                s.b += getb(c);
                ++s.opaque;
            }
        }
        for (const sum& s : sums) {
            long n = s.opaque ? s.opaque : 1;
            rgba.insert(rgba.end(), {std::uint8_t(s.r / n), std::uint8_t(s.g / n), std::uint8_t(s.b / n),
                                     std::uint8_t(255 * s.opaque / s.all)});
        }
    }
    destroy_bitmap(sheet);
    std::vector<std::uint8_t> png = encode_png(size, rgba);
    FILE* f = std::fopen(argv[2], "wb");
    bool ok = f && std::fwrite(png.data(), 1, png.size(), f) == png.size();
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "make_icon: cannot write %s\n", argv[2]);
    return ok ? 0 : 1;
}
