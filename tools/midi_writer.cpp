// Standard MIDI File encoding: big-endian chunk headers, delta-timed events.
#include "midi_writer.h"

#include <algorithm>
#include <fstream>

namespace {

void put_be(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(std::uint8_t((v >> (8 * i)) & 0xff));
}

std::uint8_t data7(int v) { return std::uint8_t(std::clamp(v, 0, 127)); }

std::uint8_t status(int kind, int channel) { return std::uint8_t(kind | (channel & 0x0f)); }

}  // namespace

void put_varlen(std::vector<std::uint8_t>& out, std::uint32_t value) {
    value &= 0x0fffffff;
    std::uint8_t groups[4];
    int n = 0;
    do {
        groups[n++] = std::uint8_t(value & 0x7f);
        value >>= 7;
    } while (value && n < 4);
    while (n > 1) out.push_back(std::uint8_t(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

void MidiTrack::add(std::uint32_t tick, int rank, std::vector<std::uint8_t> bytes) {
    events_.push_back(Event{tick, rank, std::move(bytes)});
}

void MidiTrack::note(std::uint32_t tick, std::uint32_t length, int channel, int key, int velocity) {
    add(tick, 2, {status(0x90, channel), data7(key), std::uint8_t(std::clamp(velocity, 1, 127))});
    add(tick + length, 0, {status(0x80, channel), data7(key), 64});
}

void MidiTrack::program(std::uint32_t tick, int channel, int program) {
    add(tick, 1, {status(0xc0, channel), data7(program)});
}

void MidiTrack::control(std::uint32_t tick, int channel, int controller, int value) {
    add(tick, 1, {status(0xb0, channel), data7(controller), data7(value)});
}

void MidiTrack::tempo(std::uint32_t tick, std::uint32_t micros_per_quarter) {
    std::vector<std::uint8_t> b{0xff, 0x51, 0x03};
    put_be(b, micros_per_quarter & 0xffffff, 3);
    add(tick, 1, std::move(b));
}

void MidiTrack::time_signature(std::uint32_t tick, int numerator, int denominator_power) {
    add(tick, 1, {0xff, 0x58, 0x04, data7(numerator), data7(denominator_power), 24, 8});
}

void MidiTrack::name(const std::string& text) {
    std::vector<std::uint8_t> b{0xff, 0x03};
    put_varlen(b, std::uint32_t(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    add(0, 1, std::move(b));
}

std::vector<std::uint8_t> MidiTrack::encode() const {
    std::vector<Event> sorted = events_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.rank < b.rank;
    });
    std::vector<std::uint8_t> body;
    std::uint32_t now = 0;
    for (const Event& e : sorted) {
        put_varlen(body, e.tick - now);
        now = e.tick;
        body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    }
    put_varlen(body, std::max(end_, now) - now);
    body.insert(body.end(), {0xff, 0x2f, 0x00});

    std::vector<std::uint8_t> out{'M', 'T', 'r', 'k'};
    put_be(out, std::uint32_t(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<std::uint8_t> encode_midi(const MidiFile& file) {
    std::vector<std::uint8_t> out{'M', 'T', 'h', 'd'};
    put_be(out, 6, 4);
    put_be(out, std::uint32_t(file.format), 2);
    put_be(out, std::uint32_t(file.tracks.size()), 2);
    put_be(out, std::uint32_t(file.ticks_per_quarter) & 0x7fff, 2);
    for (const MidiTrack& t : file.tracks) {
        std::vector<std::uint8_t> chunk = t.encode();
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

bool write_midi(const std::string& path, const MidiFile& file) {
    const std::vector<std::uint8_t> bytes = encode_midi(file);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}
