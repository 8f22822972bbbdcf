// The highscore reader on any bytes: no crash, no undefined behaviour, the rows fscanf
// would read (whole rows only, up to the first broken one), and a table it saves reads back.
#include <cctype>
#include <cstring>

#include "reader_check.h"
#include "records/highscore_file.h"
#include "records/highscore_table.h"

namespace {

const record marker = {{'?', '!', '?'}, 7, -7};

void fill(record* table) {
    for (int i = 0; i < highscore_rows; ++i) table[i] = marker;
}

bool same(const record& a, const record& b) {
    return std::memcmp(a.name, b.name, 3) == 0 && a.score == b.score && a.extra == b.extra;
}

void read_with_fscanf(const uint8_t* data, size_t size, record* table) {
    FILE* in = open_bytes(data, size);
    if (!in) return;
    for (int i = 0; i < highscore_rows; ++i) {
        char a, b, c;
        long long score, extra;
        if (std::fscanf(in, "%c %c %c %lli %lli \n", &a, &b, &c, &score, &extra) != 5) break;
        table[i] = {{a, b, c}, clamp32(score), clamp32(extra)};
    }
    std::fclose(in);
}

// A name byte that is white space is skipped on reading, except the file's very first.
bool names_survive_a_save() {
    for (int i = 0; i < highscore_rows; ++i)
        for (int k = 0; k < 3; ++k)
            if ((i || k) && std::isspace(static_cast<unsigned char>(highscore[i].name[k]))) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fill(highscore);
    read_highscore_text(reinterpret_cast<const char*>(data), size);

    record expected[highscore_rows];
    fill(expected);
    read_with_fscanf(data, size, expected);
    for (int i = 0; i < highscore_rows; ++i) REQUIRE(same(highscore[i], expected[i]));

    if (names_survive_a_save()) {
        char text[highscore_text_room];
        const size_t length = write_highscore_text(text);
        record saved[highscore_rows];
        std::memcpy(saved, highscore, sizeof saved);
        fill(highscore);
        read_highscore_text(text, length);
        for (int i = 0; i < highscore_rows; ++i) REQUIRE(same(highscore[i], saved[i]));
    }
    return 0;
}
