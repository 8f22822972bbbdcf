// Bytes as hex text and back: the board's tickets, keys and digests.
#pragma once

#include <cstddef>
#include <string>

// Two lower-case digits a byte.
std::string hex_of(const void* bytes, size_t size);

// Exactly 2 * size hex digits, either case, into `out`; false (with `out` half written,
// perhaps) for anything else.
bool bytes_of_hex(const std::string& text, unsigned char* out, size_t size);

// True when `text` is exactly `digits` hex digits; with lower_only, only 0-9 and a-f.
bool is_hex_text(const std::string& text, size_t digits, bool lower_only = false);
