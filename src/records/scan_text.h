// Formatted input over a block of memory, read the way the C library's fscanf reads the
// game's two data files, minus its undefined behaviour on numbers that do not fit.
#pragma once

#include <cstddef>
#include <cstdint>

struct text_scanner {
    const unsigned char* at;
    const unsigned char* end;
};

text_scanner scan_bytes(const char* bytes, size_t size);

// Applies `format` as fscanf would and returns the number of conversions stored. Knows only
// what the data files use: white space (skips any run, including none), "%c" (one byte,
// whatever it is, into a char*) and "%i" (into an int32_t*: optional sign, then decimal,
// 0x hexadecimal or 0 octal; a number beyond 32 bits is clamped to INT32_MIN/INT32_MAX).
// Stops at the first directive that cannot be matched, leaving the input where fscanf
// would: a sign with no digits after it stays consumed, the character after it does not.
int scan_text(text_scanner* in, const char* format, ...);
