// Hex by hand rather than through iostreams: no locale, and the board's readers call it
// on every request.
#include "platform/hex_text.h"

namespace {

int digit_value(char c, bool lower_only) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (!lower_only && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string hex_of(const void* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    const auto* in = static_cast<const unsigned char*>(bytes);
    std::string s(size * 2, '0');
    for (size_t i = 0; i < size; ++i) {
        s[2 * i] = digits[in[i] >> 4];
        s[2 * i + 1] = digits[in[i] & 15];
    }
    return s;
}

bool bytes_of_hex(const std::string& text, unsigned char* out, size_t size) {
    if (text.size() != 2 * size) return false;
    for (size_t i = 0; i < size; ++i) {
        const int high = digit_value(text[2 * i], false), low = digit_value(text[2 * i + 1], false);
        if (high < 0 || low < 0) return false;
        out[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}

bool is_hex_text(const std::string& text, size_t digits, bool lower_only) {
    if (text.size() != digits) return false;
    for (char c : text)
        if (digit_value(c, lower_only) < 0) return false;
    return true;
}
