// RIFF/WAVE encoding of 16-bit mono PCM, little-endian as the format requires.
#include "wav_writer.h"

#include <fstream>

namespace {

// Fills a buffer sized up front: growing it with insert() makes GCC 12 at -O3 report an
// overflow it cannot rule out (stringop-overflow), so every byte has its place from the start.
struct byte_cursor {
    std::vector<std::uint8_t>& out;
    std::size_t at = 0;

    void put16(std::uint32_t v) {
        out[at++] = std::uint8_t(v & 0xff);
        out[at++] = std::uint8_t((v >> 8) & 0xff);
    }
    void put32(std::uint32_t v) {
        put16(v & 0xffff);
        put16(v >> 16);
    }
    void tag(const char* four) {
        for (int i = 0; i < 4; ++i) out[at++] = std::uint8_t(four[i]);
    }
};

}  // namespace

std::vector<std::uint8_t> encode_wav(const std::vector<std::int16_t>& samples, int rate) {
    const std::uint32_t channels = 1, bits = 16, block = channels * bits / 8;
    const std::uint32_t data_size = std::uint32_t(samples.size()) * block;
    std::vector<std::uint8_t> out(44 + std::size_t(data_size));
    byte_cursor w{out};
    w.tag("RIFF");
    w.put32(36 + data_size);  // everything after this field
    w.tag("WAVE");
    w.tag("fmt ");
    w.put32(16);
    w.put16(1);  // integer PCM
    w.put16(channels);
    w.put32(std::uint32_t(rate));
    w.put32(std::uint32_t(rate) * block);
    w.put16(block);
    w.put16(bits);
    w.tag("data");
    w.put32(data_size);
    for (std::int16_t s : samples) w.put16(std::uint16_t(s));
    return out;
}

bool write_wav(const std::string& path, const std::vector<std::int16_t>& samples, int rate) {
    const std::vector<std::uint8_t> bytes = encode_wav(samples, rate);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}
