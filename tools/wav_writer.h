// Minimal RIFF/WAVE writer: 16-bit mono PCM, which Allegro's load_sample reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The whole file in memory: RIFF header, "fmt " chunk, "data" chunk.
std::vector<std::uint8_t> encode_wav(const std::vector<std::int16_t>& samples, int rate);

// Writes encode_wav() to path; false when the file cannot be written.
bool write_wav(const std::string& path, const std::vector<std::int16_t>& samples, int rate);
