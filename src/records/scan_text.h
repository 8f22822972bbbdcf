// Formatted input over a block of memory, read the way the C library's fscanf reads the
// game's two data files, minus its undefined behaviour on numbers that do not fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct text_scanner {
    const unsigned char* at;
    const unsigned char* end;
};

// Skips a leading UTF-8 byte-order mark: an editor's, not part of the text.
text_scanner scan_bytes(const char* bytes, size_t size);

// How far a reader got through a file: to its end in the form it expects; to the end of
// a file that simply stops early; or to something else (a damaged or foreign file).
enum class text_fit { whole, cut_short, damaged };

// After a reader's last directive: `all_read` when every field it wanted was stored.
text_fit fit_of(const text_scanner& in, bool all_read);

// Applies `format` as fscanf would and returns the number of conversions stored. Knows only
// what the data files use: white space (skips any run, including none), "%c" (one byte,
// whatever it is, into a char*) and "%i" (into an int32_t*: optional sign, then decimal,
// 0x hexadecimal or 0 octal; a number beyond 32 bits is clamped to INT32_MIN/INT32_MAX).
// Stops at the first directive that cannot be matched, leaving the input where fscanf
// would: a sign with no digits after it stays consumed, the character after it does not.
int scan_text(text_scanner* in, const char* format, ...);

// The small "key value" files (display.dat, board.txt): the rest of the first line that
// starts with `key`, if there is one.
bool line_value(const char* text, const char* key, std::string* value);

// One word of printable ASCII, no spaces, at most `longest` bytes: anything else in such a
// file is not the game's.
bool printable_word(const std::string& s, size_t longest);
