// The statistics reader on any bytes: no crash, no undefined behaviour, the figures the two
// fscanf calls would read, a save that reads back, and a carry that cannot overflow.
#include "reader_check.h"
#include "records/lifetime_stats.h"

namespace {

int32_t* const figures[7] = {&t_blocks_cut, &t_games,        &m_combo,       &m_score,
                             &t_play_time[2], &t_play_time[1], &t_play_time[0]};

void fill_markers() {
    for (int i = 0; i < 7; ++i) *figures[i] = -1000 - i;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fill_markers();
    read_stats_text(reinterpret_cast<const char*>(data), size);

    long long expected[7];
    for (int i = 0; i < 7; ++i) expected[i] = -1000 - i;
    if (FILE* in = open_bytes(data, size)) {
        std::fscanf(in, "%lli %lli %lli %lli\n", &expected[0], &expected[1], &expected[2], &expected[3]);
        std::fscanf(in, "%lli %lli %lli", &expected[4], &expected[5], &expected[6]);
        std::fclose(in);
    }
    for (int i = 0; i < 7; ++i) REQUIRE(*figures[i] == clamp32(expected[i]));

    char text[stats_text_room];
    const size_t length = write_stats_text(text);
    int32_t saved[7];
    for (int i = 0; i < 7; ++i) saved[i] = *figures[i];
    fill_markers();
    read_stats_text(text, length);
    for (int i = 0; i < 7; ++i) REQUIRE(*figures[i] == saved[i]);

    update_long_timer(&t_play_time[2], &t_play_time[1], &t_play_time[0]);
    if (saved[6] >= 0) REQUIRE(t_play_time[0] < 60);
    if (saved[5] >= 0 && saved[6] >= 0) REQUIRE(t_play_time[1] < 60);
    return 0;
}
