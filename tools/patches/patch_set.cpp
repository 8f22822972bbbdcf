#include "patch_set.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace {

const int drum_channel = 9;

struct Reader {
    const std::vector<std::uint8_t>& bytes;
    std::size_t at;
    std::size_t end;

    bool has(std::size_t n) const { return at <= end && end - at >= n; }

    std::uint32_t big_endian(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | bytes[at++];
        return v;
    }

    // Delta times and lengths; four bytes at most.
    bool varlen(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (!has(1)) return false;
            std::uint8_t b = bytes[at++];
            value = value << 7 | (b & 0x7f);
            if (!(b & 0x80)) return true;
        }
        return false;
    }
};

struct ChannelUse {
    bool plays[16] = {};
    bool has_program[16] = {};
};

std::string scan_track(Reader r, PatchNeeds& needs, ChannelUse& use) {
    std::uint8_t running = 0;
    while (r.has(1)) {
        std::uint32_t delta, length;
        if (!r.varlen(delta) || !r.has(1)) return "track ends inside an event";
        std::uint8_t status = r.bytes[r.at];
        if (status & 0x80) ++r.at;
        else if (running) status = running;
        else return "data byte without a status";

        if (status == 0xff || status == 0xf0 || status == 0xf7) {
            if (status == 0xff && !r.has(1)) return "meta event without a type";
            if (status == 0xff) ++r.at;
            if (!r.varlen(length) || !r.has(length)) return "event longer than its track";
            r.at += length;
            continue;
        }
        if (status >= 0xf0) return "system message inside a track";
        running = status;

        int kind = status >> 4, channel = status & 0x0f;
        std::size_t size = kind == 0xc || kind == 0xd ? 1 : 2;
        if (!r.has(size)) return "track ends inside an event";
        std::uint8_t data[2] = {r.bytes[r.at], size == 2 ? r.bytes[r.at + 1] : std::uint8_t(0)};
        if ((data[0] | data[1]) & 0x80) return "status byte where data was expected";
        r.at += size;

        if (kind == 0xc && channel != drum_channel) {
            needs.programs.insert(data[0]);
            use.has_program[channel] = true;
        }
        if (kind == 0x9 && data[1] > 0) {  // velocity 0 is a note-off
            if (channel == drum_channel) needs.drums.insert(data[0]);
            else use.plays[channel] = true;
        }
    }
    return "";
}

bool is_number(const std::string& word) {
    if (word.empty()) return false;
    for (char c : word)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

std::string scan_midi(const std::vector<std::uint8_t>& bytes, PatchNeeds& needs) {
    Reader r{bytes, 0, bytes.size()};
    if (!r.has(14) || bytes[0] != 'M' || bytes[1] != 'T' || bytes[2] != 'h' || bytes[3] != 'd')
        return "not a Standard MIDI File";
    ChannelUse use;
    while (r.has(8)) {
        std::string id(bytes.begin() + long(r.at), bytes.begin() + long(r.at) + 4);
        r.at += 4;
        std::uint32_t length = r.big_endian(4);
        if (!r.has(length)) return "chunk " + id + " runs past the end of the file";
        if (id == "MTrk") {
            std::string fault = scan_track(Reader{bytes, r.at, r.at + length}, needs, use);
            if (!fault.empty()) return fault;
        }
        r.at += length;
    }
    if (r.at != bytes.size()) return "stray bytes after the last chunk";
    for (int c = 0; c < 16; ++c)
        if (use.plays[c] && !use.has_program[c]) needs.programs.insert(0);
    return "";
}

std::string read_timidity_index(std::istream& in, PatchLibrary& library) {
    std::map<int, std::string>* section = &library.programs;
    bool wanted = true;  // only bank 0 and drum kit 0 hold the General MIDI sounds
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string first, second;
        if (!(words >> first)) continue;
        words >> second;
        std::string where = "line " + std::to_string(number) + ": ";

        if (first == "dir") {
            if (second.empty()) return where + "dir without a folder";
            library.dirs.push_back(second);
        } else if (first == "bank" || first == "drumset") {
            if (!is_number(second)) return where + first + " without a number";
            section = first == "bank" ? &library.programs : &library.drums;
            wanted = std::stoi(second) == 0;
        } else if (is_number(first)) {
            if (first.size() > 3 || std::stoi(first) > 127) return where + "patch number out of range";
            if (second.empty()) return where + "patch number without a file";
            if (wanted) (*section)[std::stoi(first)] = second;
        }
    }
    return "";
}

std::string digmid_index(const std::map<int, std::string>& programs, const std::map<int, std::string>& drums) {
    std::string out = "# Patch index for Allegro's DIGMID synthesiser: programs count from 1, drums\n"
                      "# are note numbers inside the multipatch block.\n";
    char line[64];
    for (const auto& [program, file] : programs) {
        std::snprintf(line, sizeof line, "%d ", program + 1);
        out += line + file + "\n";
    }
    if (!drums.empty()) {
        out += "\n129-256 begin_multipatch default blank\n";
        for (const auto& [note, file] : drums) {
            std::snprintf(line, sizeof line, "%d ", note);
            out += line + file + "\n";
        }
        out += "end_multipatch\n";
    }
    return out;
}
