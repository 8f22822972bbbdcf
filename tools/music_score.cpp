// The round's music: 32 bars in A minor at 140 beats a minute, about 55 seconds, made
// to loop (the last bar's E major leads back into the opening A minor).
// Form: A (8 bars), B (8), A again with a harmony line (8), a half-time bridge (8).
// General MIDI programs (counted from 0): 80 square lead for the tune and its harmony,
// 4 electric piano for the chords, 38 synth bass; drums on channel 10 use kick 36,
// snare 38, closed hat 42, open hat 46, low tom 45, high-mid tom 48 and crash 49.
#include "music_score.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

const int ppq = 96;
const int eighth = ppq / 2;
const int bar = 8 * eighth;
const int bars = 32;
const int bpm = 140;

enum Channel { lead = 0, piano = 1, bass = 2, harmony = 3, drums = 9 };

enum Program { square_lead = 80, electric_piano = 4, synth_bass = 38 };

enum Drum { kick = 36, snare = 38, closed_hat = 42, low_tom = 45, open_hat = 46, mid_tom = 48, crash = 49 };

// "A4:2" is A above middle C for two eighths; "G#4", "Bb3"; "r:2" rests.
struct Note {
    int key;  // -1 for a rest
    int eighths;
};

// A typo in the score must stop the build, not play a wrong note.
[[noreturn]] void bad_score(const std::string& what) {
    std::fprintf(stderr, "music score: %s\n", what.c_str());
    std::exit(1);
}

int key_of(const std::string& name) {
    static const int semitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') bad_score("bad note " + name);
    int k = semitone[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') ++k, ++i;
    else if (name[i] == 'b') --k, ++i;
    if (i + 1 != name.size() || !std::isdigit(static_cast<unsigned char>(name[i]))) bad_score("bad note " + name);
    return k + 12 * (name[i] - '0' + 1);
}

// Bar lines are only for the reader.
std::vector<Note> parse(std::string text) {
    for (char& c : text)
        if (c == '|') c = ' ';
    std::vector<Note> out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        size_t colon = word.find(':');
        if (colon == std::string::npos || colon + 1 == word.size()) bad_score("no length in " + word);
        std::string name = word.substr(0, colon);
        int len = std::atoi(word.c_str() + colon + 1);
        if (len <= 0) bad_score("bad length in " + word);
        out.push_back(Note{name == "r" ? -1 : key_of(name), len});
    }
    return out;
}

const char* const tune_a =
    "A4:1 C5:1 E5:2 D5:1 C5:1 E5:2 | F5:2 E5:1 D5:1 C5:2 A4:2 | G4:1 C5:1 E5:2 G5:2 E5:1 D5:1 | D5:3 B4:1 G4:2 r:2 |"
    "A4:1 C5:1 E5:2 D5:1 C5:1 E5:2 | F5:2 A5:2 G5:1 F5:1 E5:2 | D5:2 G5:2 F5:1 E5:1 D5:2 | E5:3 D5:1 C5:1 B4:1 G#4:2";
const char* const tune_b =
    "F5:2 E5:1 F5:1 A5:2 F5:2 | E5:2 C5:1 E5:1 A5:4 | D5:1 E5:1 F5:2 A5:1 G5:1 F5:2 | E5:2 B4:1 E5:1 G#5:4 |"
    "A5:2 G5:1 F5:1 E5:2 C5:2 | D5:2 B4:1 D5:1 G5:2 F5:2 | E5:3 C5:1 A4:2 C5:2 | B4:2 D5:2 E5:2 G#4:2";
const char* const tune_bridge =
    "A5:4 G5:2 F5:2 | G5:4 D5:2 B4:2 | E5:4 G5:2 B5:2 | A5:6 r:2 |"
    "A5:2 G5:1 F5:1 E5:2 F5:2 | G5:2 F5:1 E5:1 D5:2 B4:2 | E5:2 B4:1 E5:1 G#5:2 B5:2 | B5:4 G#5:1 E5:1 D5:1 B4:1";

// One chord per bar: bass root and the piano voicing, which stays below the tune.
struct Chord {
    int root;
    int voicing[3];
};

const Chord Am{45, {57, 60, 64}}, F{41, {53, 57, 60}}, C{48, {55, 60, 64}}, G{43, {55, 59, 62}},
    E{40, {56, 59, 64}}, Dm{38, {53, 57, 62}}, Em{40, {55, 59, 64}};

const Chord changes[bars] = {
    Am, F, C, G, Am, F, G, E,    // A
    Dm, Am, Dm, E, F, G, Am, E,  // B
    Am, F, C, G, Am, F, G, E,    // A with harmony
    F, G, Em, Am, F, G, E, E,    // bridge
};

bool is_bridge(int b) { return b >= 24; }

// The mix lives in the velocities, in percent of what the parts are written with, and
// every channel stays at full volume: Allegro resets channel volumes to full whenever the
// piece starts or loops and applies a volume change only after the notes of its tick, so
// the opening beat ignored them. Its synthesiser sums the voices and clips; these levels
// keep the busiest beats about 6 dB below full scale.
enum Level { lead_level = 39, harmony_level = 28, piano_level = 33, bass_level = 39, drum_level = 39 };

int at_level(int velocity, int level) { return velocity * level / 100; }

// A diatonic third below, in A minor; the raised G# takes E, as the harmonic minor does.
int third_below(int key) {
    static const int scale[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int pc = key % 12 == 8 ? 7 : key % 12;
    for (int d = 0; d < 7; ++d) {
        if (scale[d] != pc) continue;
        int target = scale[(d + 5) % 7];
        int k = key - 1;
        while (k % 12 != target) --k;
        return k;
    }
    return key - 4;
}

void write_tune(MidiTrack& t, int channel, const char* text, int start_bar, int velocity, int level,
                bool harmonise) {
    std::uint32_t at = std::uint32_t(start_bar * bar);
    for (const Note& n : parse(text)) {
        std::uint32_t len = std::uint32_t(n.eighths * eighth);
        if (n.key >= 0) {
            int key = harmonise ? third_below(n.key) : n.key;
            // Slightly detached, and the first of each beat a little stronger.
            int accent = at % ppq == 0 ? 6 : 0;
            t.note(at, len - len / 8, channel, key, at_level(velocity + accent, level));
        }
        at += len;
    }
    if (at != std::uint32_t((start_bar + 8) * bar)) bad_score("a section is not eight bars long");
}

// A part's opening events: its name, its sound, full channel volume (the mix lives in the
// velocities, since the synthesiser resets volume when the piece loops) and its pan.
MidiTrack start_part(const char* name, int channel, int program, int pan) {
    MidiTrack t;
    t.name(name);
    t.program(0, channel, program);
    t.control(0, channel, 7, 127);
    t.control(0, channel, 10, pan);
    return t;
}

MidiTrack tune_track() {
    MidiTrack t = start_part("Tune", lead, square_lead, 70);
    write_tune(t, lead, tune_a, 0, 82, lead_level, false);
    write_tune(t, lead, tune_b, 8, 82, lead_level, false);
    write_tune(t, lead, tune_a, 16, 86, lead_level, false);
    write_tune(t, lead, tune_bridge, 24, 80, lead_level, false);
    t.end_at(bars * bar);
    return t;
}

MidiTrack harmony_track() {
    MidiTrack t = start_part("Harmony", harmony, square_lead, 48);
    write_tune(t, harmony, tune_a, 16, 64, harmony_level, true);
    t.end_at(bars * bar);
    return t;
}

MidiTrack piano_track() {
    MidiTrack t = start_part("Chords", piano, electric_piano, 40);
    for (int b = 0; b < bars; ++b) {
        std::uint32_t at = std::uint32_t(b * bar);
        const Chord& c = changes[b];
        if (is_bridge(b) && b < 28) {
            // The bridge opens with held chords.
            for (int k : c.voicing) t.note(at, bar - eighth / 2, piano, k, at_level(50, piano_level));
            continue;
        }
        // Three-three-two pushes: on 1, on the and of 2, on 4.
        const int start[3] = {0, 3, 6}, len[3] = {3, 3, 2};
        for (int i = 0; i < 3; ++i)
            for (int k : c.voicing)
                t.note(at + std::uint32_t(start[i] * eighth), std::uint32_t(len[i] * eighth - eighth / 3), piano, k,
                       at_level(i == 0 ? 56 : 50, piano_level));
    }
    t.end_at(bars * bar);
    return t;
}

MidiTrack bass_track() {
    MidiTrack t = start_part("Bass", bass, synth_bass, 64);
    for (int b = 0; b < bars; ++b) {
        std::uint32_t at = std::uint32_t(b * bar);
        int r = changes[b].root;
        if (is_bridge(b) && b < 28) {
            t.note(at, 4 * eighth - 8, bass, r, at_level(80, bass_level));
            t.note(at + 4 * eighth, 2 * eighth - 8, bass, r + 7, at_level(70, bass_level));
            t.note(at + 6 * eighth, 2 * eighth - 8, bass, r + 12, at_level(70, bass_level));
            continue;
        }
        // Driving eighths: root, root, octave, root, root, octave, root, fifth.
        const int step[8] = {0, 0, 12, 0, 0, 12, 0, 7};
        for (int i = 0; i < 8; ++i)
            t.note(at + std::uint32_t(i * eighth), eighth - 8, bass, r + step[i],
                   at_level(i % 2 == 0 ? 80 : 68, bass_level));
    }
    t.end_at(bars * bar);
    return t;
}

MidiTrack drum_track() {
    MidiTrack t;
    t.name("Drums");
    t.control(0, drums, 7, 127);
    auto hit = [&](int b, int e, int drum, int velocity) {
        t.note(std::uint32_t(b * bar + e * eighth), eighth / 2, drums, drum, at_level(velocity, drum_level));
    };
    for (int b = 0; b < bars; ++b) {
        bool fill = b % 8 == 7, half_time = is_bridge(b) && b < 28;
        if (b % 8 == 0) hit(b, 0, crash, b == 0 ? 60 : 70);  // the loop's first beat is busy enough
        if (half_time) {
            hit(b, 0, kick, 86);
            hit(b, 4, snare, 80);
            for (int e = 0; e < 8; e += 2) hit(b, e, closed_hat, 54);
            continue;
        }
        hit(b, 0, kick, 88);
        hit(b, 3, kick, 70);
        hit(b, 4, kick, 84);
        hit(b, 2, snare, 84);
        if (fill) {
            hit(b, 5, snare, 70);
            hit(b, 6, mid_tom, 80);
            hit(b, 7, low_tom, 84);
            for (int e = 0; e < 4; ++e) hit(b, e, closed_hat, e % 2 ? 46 : 58);
            continue;
        }
        hit(b, 6, snare, 84);
        for (int e = 0; e < 8; ++e) {
            if (e == 7 && b % 2 == 1) hit(b, e, open_hat, 54);
            else hit(b, e, closed_hat, e % 2 ? 46 : 58);
        }
    }
    t.end_at(bars * bar);
    return t;
}

}  // namespace

MidiFile compose_music() {
    MidiFile f;
    f.format = 1;
    f.ticks_per_quarter = ppq;
    MidiTrack conductor;
    conductor.name("Blockdash");
    conductor.tempo(0, std::uint32_t(60000000 / bpm));
    conductor.time_signature(0, 4, 2);
    conductor.end_at(bars * bar);
    f.tracks = {conductor, tune_track(), harmony_track(), piano_track(), bass_track(), drum_track()};
    return f;
}
