// Whole-file reads and writes for the data-file tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace file_bytes {

inline std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace file_bytes
