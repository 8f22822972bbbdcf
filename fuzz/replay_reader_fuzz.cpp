// The replay reader on any bytes (either form: a local round's, or a board round's with its
// values): no crash, no undefined behaviour, a replay it accepts writes back to the same
// bytes, and any bytes as an input stream decode within bounds.
#include <cstring>

#include "reader_check.h"
#include "records/replay_file.h"

namespace {

replay r;
uint8_t written[replay_file_room];

// Every frame's pointer stays on the picture, however the stream is broken.
void decode_every_frame(const replay& from, int32_t frames) {
    replay_input_reader reader(from);
    for (int32_t i = 0; i < frames; ++i) {
        const round_input in = reader.next();
        REQUIRE(in.x >= 0 && in.x < 640 && in.y >= 0 && in.y < 480);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (read_replay_bytes(data, size, r) == replay_status::read) {
        REQUIRE(r.value_count <= replay_values_most);
        REQUIRE(write_replay_bytes(r, written) == size);
        REQUIRE(std::memcmp(written, data, size) == 0);
        decode_every_frame(r, r.frames < 50000 ? r.frames : 50000);
    }
    // The checksum keeps most inputs away from the stream decoder; give it the bytes as they are.
    r.input_size = static_cast<uint32_t>(size < replay_input_room ? size : replay_input_room);
    std::memcpy(r.input, data, r.input_size);
    decode_every_frame(r, static_cast<int32_t>(r.input_size) * 4 + 8);
    return 0;
}
