// A strict little Standard MIDI File reader for the tests: it checks the chunk layout
// and gives back every event with its absolute tick.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct MidiEventRead {
    std::uint32_t tick = 0;
    std::uint8_t status = 0;  // 0xff for meta events
    std::uint8_t meta = 0;    // meta type
    std::vector<std::uint8_t> data;
};

struct MidiRead {
    std::string error;  // empty when the file is well formed
    int format = -1, division = 0;
    std::vector<std::vector<MidiEventRead>> tracks;

    // Length of the piece in seconds: the last end-of-track, through the tempo map.
    double seconds() const {
        std::map<std::uint32_t, std::uint32_t> tempo{{0, 500000}};
        std::uint32_t end = 0;
        for (const auto& t : tracks) {
            for (const auto& e : t) {
                if (e.status == 0xff && e.meta == 0x51 && e.data.size() == 3)
                    tempo[e.tick] = std::uint32_t(e.data[0] << 16 | e.data[1] << 8 | e.data[2]);
                if (e.tick > end) end = e.tick;
            }
        }
        double s = 0;
        for (auto it = tempo.begin(); it != tempo.end() && it->first < end; ++it) {
            auto next = std::next(it);
            std::uint32_t stop = next == tempo.end() || next->first > end ? end : next->first;
            s += double(stop - it->first) * it->second / 1e6 / division;
        }
        return s;
    }
};

inline MidiRead read_midi(const std::vector<std::uint8_t>& b) {
    MidiRead m;
    size_t p = 0;
    auto need = [&](size_t n) { return p + n <= b.size(); };
    auto be = [&](int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | b[p++];
        return v;
    };
    auto varlen = [&](std::uint32_t* v, size_t end) {
        *v = 0;
        for (int i = 0; i < 4; ++i) {
            if (p >= end) return false;
            std::uint8_t c = b[p++];
            *v = *v << 7 | (c & 0x7f);
            if (!(c & 0x80)) return true;
        }
        return false;
    };
    if (!need(14) || std::string(b.begin(), b.begin() + 4) != "MThd") return m.error = "no MThd", m;
    p = 4;
    if (be(4) != 6) return m.error = "header length", m;
    m.format = int(be(2));
    std::uint32_t ntracks = be(2);
    m.division = int(be(2));
    for (std::uint32_t t = 0; t < ntracks; ++t) {
        if (!need(8) || std::string(b.begin() + long(p), b.begin() + long(p) + 4) != "MTrk")
            return m.error = "no MTrk " + std::to_string(t), m;
        p += 4;
        std::uint32_t len = be(4);
        if (!need(len)) return m.error = "track " + std::to_string(t) + " runs past the file", m;
        size_t end = p + len;
        std::vector<MidiEventRead> events;
        std::uint32_t tick = 0;
        std::uint8_t running = 0;
        bool ended = false;
        while (p < end) {
            if (ended) return m.error = "events after end of track", m;
            std::uint32_t delta;
            if (!varlen(&delta, end) || p >= end) return m.error = "bad delta", m;
            tick += delta;
            MidiEventRead e;
            e.tick = tick;
            std::uint8_t s = b[p];
            if (s & 0x80) ++p; else s = running;
            if (!(s & 0x80)) return m.error = "no status", m;
            e.status = s;
            if (s == 0xff) {
                std::uint32_t n;
                if (p >= end) return m.error = "bad meta", m;
                e.meta = b[p++];
                if (!varlen(&n, end) || p + n > end) return m.error = "bad meta length", m;
                e.data.assign(b.begin() + long(p), b.begin() + long(p + n));
                p += n;
                if (e.meta == 0x2f) ended = true;
            } else if (s >= 0xf0) {
                return m.error = "sysex not expected", m;
            } else {
                running = s;
                int n = (s & 0xf0) == 0xc0 || (s & 0xf0) == 0xd0 ? 1 : 2;
                if (p + size_t(n) > end) return m.error = "short event", m;
                e.data.assign(b.begin() + long(p), b.begin() + long(p) + n);
                p += size_t(n);
            }
            events.push_back(e);
        }
        if (!ended) return m.error = "track " + std::to_string(t) + " has no end", m;
        m.tracks.push_back(events);
    }
    if (p != b.size()) return m.error = "bytes after the last track", m;
    return m;
}
