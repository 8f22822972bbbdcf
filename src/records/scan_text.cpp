// fscanf's acceptance rules for "%c", "%i" and white space, written out so that a hostile
// file can neither overflow an int nor read past the end of what was loaded.
#include "records/scan_text.h"

#include <cstdarg>
#include <cstring>

namespace {

// The C locale's white space, as isspace() sees it.
bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digit_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

void skip_space(text_scanner* in) {
    while (in->at < in->end && is_space(*in->at)) ++in->at;
}

bool read_char(text_scanner* in, char* out) {
    if (in->at == in->end) return false;
    *out = static_cast<char>(*in->at++);
    return true;
}

// Past this the value is clamped anyway, so further digits only need consuming.
constexpr uint64_t magnitude_cap = uint64_t{1} << 32;

bool read_int(text_scanner* in, int32_t* out) {
    skip_space(in);
    bool negative = false;
    if (in->at < in->end && (*in->at == '+' || *in->at == '-')) negative = *in->at++ == '-';
    if (in->at == in->end || digit_value(*in->at) > 9) return false;

    int base = 10;
    if (*in->at == '0') {
        ++in->at;
        base = 8;
        // glibc takes a bare "0x" as the number 0 with both characters consumed.
        if (in->at < in->end && (*in->at == 'x' || *in->at == 'X')) {
            ++in->at;
            base = 16;
        }
    }
    uint64_t magnitude = 0;
    while (in->at < in->end && digit_value(*in->at) < base) {
        magnitude = magnitude * base + digit_value(*in->at++);
        if (magnitude > magnitude_cap) magnitude = magnitude_cap;
    }
    const int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    *out = value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
    return true;
}

}  // namespace

text_scanner scan_bytes(const char* bytes, size_t size) {
    const auto* start = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char mark[3] = {0xef, 0xbb, 0xbf};
    text_scanner in = {start, start + size};
    if (size >= 3 && start[0] == mark[0] && start[1] == mark[1] && start[2] == mark[2]) in.at += 3;
    return in;
}

text_fit fit_of(const text_scanner& in, bool all_read) {
    text_scanner rest = in;
    skip_space(&rest);
    if (all_read) return rest.at == rest.end ? text_fit::whole : text_fit::damaged;
    return in.at == in.end ? text_fit::cut_short : text_fit::damaged;
}

int scan_text(text_scanner* in, const char* format, ...) {
    va_list targets;
    va_start(targets, format);
    int stored = 0;
    for (const char* f = format; *f; ++f) {
        if (is_space(static_cast<unsigned char>(*f))) {
            skip_space(in);
            continue;
        }
        const char conversion = *f == '%' ? f[1] : '\0';
        bool matched = false;
        if (conversion == 'c') matched = read_char(in, va_arg(targets, char*));
        if (conversion == 'i') matched = read_int(in, va_arg(targets, int32_t*));
        if (!matched) break;
        ++stored;
        ++f;
    }
    va_end(targets);
    return stored;
}

bool line_value(const char* text, const char* key, std::string* value) {
    const size_t n = std::strlen(key);
    for (const char* line = text; line; line = std::strchr(line, '\n')) {
        if (*line == '\n') ++line;
        if (std::strncmp(line, key, n) != 0) continue;
        *value = std::string(line + n, std::strcspn(line + n, "\r\n"));
        return true;
    }
    return false;
}

bool printable_word(const std::string& s, size_t longest) {
    if (s.empty() || s.size() > longest) return false;
    for (unsigned char c : s)
        if (c <= ' ' || c > '~') return false;
    return true;
}
