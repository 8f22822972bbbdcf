// Minimal Standard MIDI File writer: events are added at absolute ticks in any order
// and come out sorted, with delta times, in format 0 or 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class MidiTrack {
public:
    // A note-on at `tick` and its note-off `length` ticks later. Channels count from 0,
    // so General MIDI drums are channel 9.
    void note(std::uint32_t tick, std::uint32_t length, int channel, int key, int velocity);
    void program(std::uint32_t tick, int channel, int program);
    void control(std::uint32_t tick, int channel, int controller, int value);
    void tempo(std::uint32_t tick, std::uint32_t micros_per_quarter);
    void time_signature(std::uint32_t tick, int numerator, int denominator_power);
    void name(const std::string& text);
    // Where the track ends; a player that loops starts again from here. Never before
    // the last event.
    void end_at(std::uint32_t tick) { end_ = tick; }

    // The "MTrk" chunk with its length, ending in the end-of-track meta event.
    std::vector<std::uint8_t> encode() const;

private:
    struct Event {
        std::uint32_t tick;
        int rank;  // at one tick: note-offs, then settings, then note-ons
        std::vector<std::uint8_t> bytes;
    };
    void add(std::uint32_t tick, int rank, std::vector<std::uint8_t> bytes);

    std::vector<Event> events_;
    std::uint32_t end_ = 0;
};

struct MidiFile {
    int format = 1;
    int ticks_per_quarter = 96;
    std::vector<MidiTrack> tracks;
};

// Variable-length quantity as used for delta times and meta lengths (up to 0x0fffffff).
void put_varlen(std::vector<std::uint8_t>& out, std::uint32_t value);

std::vector<std::uint8_t> encode_midi(const MidiFile& file);
bool write_midi(const std::string& path, const MidiFile& file);
