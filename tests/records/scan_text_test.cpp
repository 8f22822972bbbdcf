// The memory reader against the C library's own fscanf: same values, same stopping point.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "records/scan_text.h"

namespace {

struct scan_result {
    int stored;
    long long value;
    long consumed;
};

// fscanf reading into a long long saturates instead of overflowing, so clamping that to 32
// bits gives what our reader must give.
scan_result by_fscanf(const std::string& text, const char* format) {
    long long value = -777;
    FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    int stored = std::fscanf(in, format, &value);
    const long consumed = std::ftell(in);
    std::fclose(in);
    if (stored < 0) stored = 0;
    if (stored == 1) value = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value;
    return {stored, value, consumed};
}

scan_result by_scan_text(const std::string& text, const char* format) {
    int32_t value = -777;
    text_scanner in = scan_bytes(text.data(), text.size());
    const int stored = scan_text(&in, format, &value);
    return {stored, value, static_cast<long>(in.at - reinterpret_cast<const unsigned char*>(text.data()))};
}

TEST(ScanText, IntegersReadAndStopExactlyWhereFscanfDoes) {
    const char* inputs[] = {
        "0",      "-0",        "+17",      "  \t\r\n42x", "12 34",     "-",           "+",
        "+x",     "- 5",       "+-3",      "0x",          "0xg",       "0x 5",        "0X1F",
        "-0x1f",  "0x-5",      "00x5",     "08",          "012",       "019",         "0777",
        "1e5",    "12a",       "x",        "\v\f7",       "2147483647", "2147483648", "-2147483648",
        "-2147483649", "4294967296", "0xFFFFFFFF", "99999999999999999999999999", "-99999999999999999999",
        "0x7fffffffffffffffffffff", "037777777777", "000000000000000000000000123",
    };
    for (const char* text : inputs) {
        for (const char* format : {"%lli", " %lli"}) {
            const scan_result want = by_fscanf(text, format);
            const scan_result got = by_scan_text(text, format[0] == ' ' ? " %i" : "%i");
            EXPECT_EQ(got.stored, want.stored) << '"' << text << '"';
            if (want.stored == 1) {
                EXPECT_EQ(got.value, want.value) << '"' << text << '"';
            }
            EXPECT_EQ(got.consumed, want.consumed) << '"' << text << '"';
        }
    }
}

TEST(ScanText, CharactersAreSingleBytesOfAnyValue) {
    const std::string text("\0\xff \n\tZ", 6);
    char a = 1, b = 1, c = 1;
    text_scanner in = scan_bytes(text.data(), text.size());
    EXPECT_EQ(scan_text(&in, "%c%c %c", &a, &b, &c), 3);
    EXPECT_EQ(a, '\0');
    EXPECT_EQ(b, '\xff');
    EXPECT_EQ(c, 'Z');
    EXPECT_EQ(scan_text(&in, "%c", &a), 0);  // nothing left
    EXPECT_EQ(in.at, in.end);
}

}  // namespace
