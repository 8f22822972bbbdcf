// The replay file: a fixed header, the input stream and a checksum over both. A board
// round's file (the second form) has its values between the input and the checksum: their
// count, then each, all little-endian 32-bit.
//
// The input stream holds one record per frame whose input changed. Most are the pointer
// moving on the very next frame by a small step, which takes two bytes: 0xxxxxxx (x step,
// zigzag) and yyyyyyyy (y step, zigzag). Anything else takes a long record: 1 L A P M ggg,
// the buttons, whether the pointer moved, the frames since the last record less one (7:
// a varint of the rest follows), then the x and y steps as zigzag varints when it moved.
#include "records/replay_file.h"

#include <cstring>

#include "platform/data_file.h"
#include "platform/fnv_hash.h"

bool operator==(const round_input& a, const round_input& b) {
    return a.x == b.x && a.y == b.y && a.left == b.left && a.pressed == b.pressed &&
           a.any_button == b.any_button && a.pause_closed == b.pause_closed;
}

namespace {

constexpr char magic[4] = {'B', 'D', 'R', 'P'};
constexpr uint16_t format_version = 1;
constexpr uint16_t format_with_values = 2;
constexpr size_t longest_record = 1 + 5 + 5 + 5;
constexpr int32_t carried_limit = 1000000000;

uint32_t zigzag(int32_t v) { return (static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31); }
int64_t unzigzag(uint32_t v) { return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1); }

size_t put_varint(uint8_t* out, uint32_t v) {
    size_t n = 0;
    while (v >= 0x80) {
        out[n++] = static_cast<uint8_t>(v | 0x80);
        v >>= 7;
    }
    out[n++] = static_cast<uint8_t>(v);
    return n;
}

// At most five bytes; false on a stream that ends or runs on.
bool get_varint(const uint8_t* bytes, size_t size, size_t& at, uint32_t& v) {
    v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (at >= size) return false;
        const uint8_t b = bytes[at++];
        v |= static_cast<uint32_t>(b & 0x7f) << shift;
        if (!(b & 0x80)) return shift < 28 || b < 0x10;
    }
    return false;
}

uint64_t checksum(const uint8_t* bytes, size_t size) { return fnv1a(bytes, size); }

template <typename T>
void put_little_endian(uint8_t* out, size_t at, T v) {
    for (size_t i = 0; i < sizeof v; ++i) out[at + i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
}

template <typename T>
T get_little_endian(const uint8_t* in, size_t at) {
    uint64_t v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(in[at + i]) << (8 * i);
    return static_cast<T>(v);
}

uint8_t buttons_of(const round_input& in) {
    return static_cast<uint8_t>(in.left << 6 | in.any_button << 5 | in.pause_closed << 4 |
                                in.pressed << 3);
}

// The pointer never leaves the picture; a step that would take it off is damage.
bool step(int32_t& coordinate, int64_t by, int32_t limit) {
    const int64_t moved = coordinate + by;
    coordinate = static_cast<int32_t>(moved < 0 ? 0 : moved > limit ? limit : moved);
    return moved == coordinate;
}

// The one way to write a change `gap` frames after the last: the shortest record.
size_t encode_change(const round_input& last, const round_input& in, uint32_t gap, uint8_t* out) {
    const int32_t dx = in.x - last.x, dy = in.y - last.y;
    size_t n = 0;
    if (gap == 1 && buttons_of(in) == buttons_of(last) && dx >= -64 && dx < 64 && dy >= -128 && dy < 128) {
        out[n++] = static_cast<uint8_t>(zigzag(dx));
        out[n++] = static_cast<uint8_t>(zigzag(dy));
    } else {
        const bool moved = dx != 0 || dy != 0;
        out[n++] = static_cast<uint8_t>(0x80 | buttons_of(in) | moved << 2 | (gap < 4 ? gap - 1 : 3));
        if (gap >= 4) n += put_varint(out + n, gap - 4);
        if (moved) {
            n += put_varint(out + n, zigzag(dx));
            n += put_varint(out + n, zigzag(dy));
        }
    }
    return n;
}

// True when writing the decoded frames again gives the very bytes read: no padding, no
// repeated record, no longer record or number than needed, nothing past the last frame.
// One round then has one file and one checksum.
bool input_is_canonical(const replay& r) {
    replay_input_reader reader(r);
    round_input last;
    int32_t last_written = -1;
    size_t at = 0;
    uint8_t record[longest_record];
    for (int32_t frame = 0; frame < r.frames; ++frame) {
        const round_input in = reader.next();
        if (in == last) continue;
        const size_t n = encode_change(last, in, static_cast<uint32_t>(frame - last_written), record);
        if (at + n > r.input_size || std::memcmp(r.input + at, record, n) != 0) return false;
        at += n;
        last = in;
        last_written = frame;
    }
    return !reader.damaged() && at == r.input_size;
}

}  // namespace

replay_input_writer::replay_input_writer(replay& r) : r_(r) { r_.input_size = 0; }

bool replay_input_writer::add(const round_input& in) {
    if (frame_ >= replay_frame_limit || r_.input_size + longest_record > replay_input_room) return false;
    if (in != last_) {
        const uint32_t gap = static_cast<uint32_t>(frame_ - last_written_);
        r_.input_size += static_cast<uint32_t>(encode_change(last_, in, gap, r_.input + r_.input_size));
        last_written_ = frame_;
        last_ = in;
    }
    ++frame_;
    return true;
}

replay_input_reader::replay_input_reader(const replay& r) : r_(r) { read_change(); }

round_input replay_input_reader::next() {
    if (next_change_ == frame_) {
        current_ = next_input_;
        read_change();
    }
    if (frame_ < replay_frame_limit) ++frame_;
    return current_;
}

void replay_input_reader::read_change() {
    const int32_t from = next_change_;  // -1 before the first record
    next_change_ = -1;
    const size_t size = r_.input_size > replay_input_room ? replay_input_room : r_.input_size;
    if (at_ >= size) return;
    const uint8_t* in = r_.input;
    round_input change = next_input_;  // each record changes the one before it
    uint32_t gap = 1;
    bool ok = true;
    int64_t dx = 0, dy = 0;
    const uint8_t first = in[at_++];
    if (!(first & 0x80)) {
        if (at_ >= size) ok = false;
        dx = unzigzag(first);
        dy = ok ? unzigzag(in[at_++]) : 0;
    } else {
        change.left = first & 0x40;
        change.any_button = first & 0x20;
        change.pause_closed = first & 0x10;
        change.pressed = first & 0x08;
        gap = (first & 3) + 1u;
        uint32_t v = 0;
        if ((first & 3) == 3) {
            ok = get_varint(in, size, at_, v) && v <= static_cast<uint32_t>(replay_frame_limit);
            gap = 4 + v;
        }
        if (ok && (first & 4)) {
            ok = get_varint(in, size, at_, v);
            dx = unzigzag(v);
            ok = ok && get_varint(in, size, at_, v);
            dy = unzigzag(v);
        }
    }
    const bool x_on_picture = step(change.x, dx, 639);
    const bool y_on_picture = step(change.y, dy, 479);
    ok = ok && x_on_picture && y_on_picture;
    const int64_t frame = int64_t{from} + gap;
    if (!ok || frame >= replay_frame_limit) {
        damaged_ = true;
        at_ = size;
        return;
    }
    next_change_ = static_cast<int32_t>(frame);
    next_input_ = change;
}

size_t write_replay_bytes(const replay& r, uint8_t* out) {
    std::memset(out, 0, replay_header_size);
    std::memcpy(out, magic, 4);
    put_little_endian<uint16_t>(out, 4, format_version);
    put_little_endian<uint16_t>(out, 6, replay_rules_version);
    std::memcpy(out + 8, r.game_version, sizeof r.game_version);
    out[8 + 15] = 0;
    put_little_endian<uint32_t>(out, 24, r.seed);
    std::memcpy(out + 28, r.name, 3);
    put_little_endian<int32_t>(out, 32, r.score);
    put_little_endian<int32_t>(out, 36, r.blocks_cut);
    put_little_endian<int32_t>(out, 40, r.best_combo);
    put_little_endian<int32_t>(out, 44, r.frames);
    put_little_endian<int64_t>(out, 48, r.saved_at);
    for (int i = 0; i < carried_values; ++i) put_little_endian<int32_t>(out, 56 + 4 * static_cast<size_t>(i), r.carried[i]);
    const uint32_t input_size = r.input_size > replay_input_room ? replay_input_room : r.input_size;
    put_little_endian<uint32_t>(out, 220, input_size);
    std::memcpy(out + replay_header_size, r.input, input_size);
    size_t size = replay_header_size + input_size;
    const uint32_t values = r.value_count > replay_values_most ? replay_values_most : r.value_count;
    if (values > 0) {
        put_little_endian<uint16_t>(out, 4, format_with_values);
        put_little_endian<uint32_t>(out, size, values);
        for (uint32_t i = 0; i < values; ++i) put_little_endian<uint32_t>(out, size + 4 + 4 * size_t{i}, r.values[i]);
        size += 4 + 4 * size_t{values};
    }
    put_little_endian<uint64_t>(out, size, checksum(out, size));
    return size + 8;
}

replay_status read_replay_bytes(const uint8_t* bytes, size_t size, replay& r) {
    if (size < replay_header_size + 8 || std::memcmp(bytes, magic, 4) != 0) return replay_status::damaged;
    const uint16_t format = get_little_endian<uint16_t>(bytes, 4);
    if (format != format_version && format != format_with_values) return replay_status::other_rules;
    if (get_little_endian<uint64_t>(bytes, size - 8) != checksum(bytes, size - 8)) return replay_status::damaged;
    if (get_little_endian<uint16_t>(bytes, 6) != replay_rules_version) return replay_status::other_rules;
    const uint32_t input_size = get_little_endian<uint32_t>(bytes, 220);
    const int32_t frames = get_little_endian<int32_t>(bytes, 44);
    if (input_size > replay_input_room || input_size > size - 8 - replay_header_size || bytes[31] != 0 ||
        bytes[8 + 15] != 0 || frames < 1 || frames > replay_frame_limit)
        return replay_status::damaged;
    // The values, in the second form only, and at least one: a round without any is written
    // in the first form, so one round still has one file.
    const size_t values_at = replay_header_size + input_size;
    const size_t values_room = size - 8 - values_at;
    uint32_t values = 0;
    if (format == format_with_values) {
        if (values_room < 4) return replay_status::damaged;
        values = get_little_endian<uint32_t>(bytes, values_at);
        if (values == 0 || values > replay_values_most || values_room != 4 + 4 * size_t{values})
            return replay_status::damaged;
    } else if (values_room != 0) {
        return replay_status::damaged;
    }
    r.value_count = values;
    for (uint32_t i = 0; i < values; ++i) r.values[i] = get_little_endian<uint32_t>(bytes, values_at + 4 + 4 * size_t{i});
    std::memcpy(r.game_version, bytes + 8, sizeof r.game_version);
    r.seed = get_little_endian<uint32_t>(bytes, 24);
    std::memcpy(r.name, bytes + 28, 3);
    r.score = get_little_endian<int32_t>(bytes, 32);
    r.blocks_cut = get_little_endian<int32_t>(bytes, 36);
    r.best_combo = get_little_endian<int32_t>(bytes, 40);
    r.frames = frames;
    r.saved_at = get_little_endian<int64_t>(bytes, 48);
    for (int i = 0; i < carried_values; ++i) {
        r.carried[i] = get_little_endian<int32_t>(bytes, 56 + 4 * static_cast<size_t>(i));
        // Counted up or down once a frame for the whole replay, they must not overflow.
        if (r.carried[i] > carried_limit || r.carried[i] < -carried_limit) return replay_status::damaged;
    }
    // The version string's padding is part of the bytes too.
    const size_t version_end = std::strlen(r.game_version);
    for (size_t i = version_end; i < sizeof r.game_version; ++i)
        if (r.game_version[i] != 0) return replay_status::damaged;
    r.input_size = input_size;
    std::memcpy(r.input, bytes + replay_header_size, input_size);
    if (!input_is_canonical(r)) return replay_status::damaged;
    return replay_status::read;
}

replay_status read_replay_file(const char* path, replay& r, unsigned* rules) {
    // One byte more than the largest replay, so a longer file is seen as one.
    static uint8_t bytes[replay_file_room + 1];
    size_t size = 0;
    const data_read got = read_data_file(path, reinterpret_cast<char*>(bytes), sizeof bytes, &size);
    if (got.found != file_found::read) return replay_status::unreadable;
    if (size > replay_file_room) return replay_status::damaged;
    const replay_status status = read_replay_bytes(bytes, size, r);
    if (status == replay_status::other_rules && rules && size >= 8) *rules = get_little_endian<uint16_t>(bytes, 6);
    return status;
}

bool initials_fit(const char name[3]) {
    for (int i = 0; i < 3; ++i)
        if (!((name[i] >= 'A' && name[i] <= 'Z') || name[i] == '-')) return false;
    return true;
}

const char* replay_problem(replay_status status) {
    switch (status) {
        case replay_status::read: return "fine";
        case replay_status::damaged: return "the file is damaged or is not a replay";
        case replay_status::other_rules: return "the replay was made by another version of the game's rules";
        case replay_status::unreadable: return "the file cannot be read";
    }
    return "";
}
