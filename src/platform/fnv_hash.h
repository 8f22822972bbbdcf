// FNV-1a, 64 bits: each step is one-to-one, so any one changed byte changes the sum.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint64_t fnv1a_offset_basis = 14695981039346656037ull;

inline uint64_t fnv1a(const void* data, size_t size, uint64_t sum = fnv1a_offset_basis) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) sum = (sum ^ bytes[i]) * 1099511628211ull;
    return sum;
}
