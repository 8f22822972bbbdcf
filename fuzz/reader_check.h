// Shared by the reader fuzzers: glibc's fscanf over the same bytes is the reference, read
// into long long (which saturates instead of overflowing) and clamped to 32 bits.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline int32_t clamp32(long long v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

// Read-only stream over the fuzzer's bytes, past a leading UTF-8 byte-order mark (which
// the game's readers skip, as an editor may have written one); nullptr for no bytes.
inline FILE* open_bytes(const uint8_t* data, size_t size) {
    if (size >= 3 && data[0] == 0xef && data[1] == 0xbb && data[2] == 0xbf) {
        data += 3;
        size -= 3;
    }
    return size ? fmemopen(const_cast<uint8_t*>(data), size, "r") : nullptr;
}

#define REQUIRE(condition)                                                          \
    do {                                                                            \
        if (!(condition)) {                                                         \
            std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                           \
        }                                                                           \
    } while (0)
