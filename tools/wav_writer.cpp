// RIFF/WAVE encoding of 16-bit mono PCM, little-endian as the format requires.
#include "wav_writer.h"

#include <fstream>

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v & 0xff));
    out.push_back(std::uint8_t((v >> 8) & 0xff));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

void tag(std::vector<std::uint8_t>& out, const char* four) { out.insert(out.end(), four, four + 4); }

}  // namespace

std::vector<std::uint8_t> encode_wav(const std::vector<std::int16_t>& samples, int rate) {
    const std::uint32_t channels = 1, bits = 16, block = channels * bits / 8;
    const std::uint32_t data_size = std::uint32_t(samples.size()) * block;
    std::vector<std::uint8_t> out;
    out.reserve(44 + data_size);
    tag(out, "RIFF");
    put32(out, 36 + data_size);  // everything after this field
    tag(out, "WAVE");
    tag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);  // integer PCM
    put16(out, channels);
    put32(out, std::uint32_t(rate));
    put32(out, std::uint32_t(rate) * block);
    put16(out, block);
    put16(out, bits);
    tag(out, "data");
    put32(out, data_size);
    for (std::int16_t s : samples) put16(out, std::uint16_t(s));
    return out;
}

bool write_wav(const std::string& path, const std::vector<std::int16_t>& samples, int rate) {
    const std::vector<std::uint8_t> bytes = encode_wav(samples, rate);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}
