// Choosing the synthesiser's patches: what a piece plays, reading TiMidity's index, and
// the index in DIGMID's numbering, which differs from TiMidity's by one for programs.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "midi_writer.h"
#include "patch_set.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A format 0 file around one track's raw events.
Bytes raw_midi(const Bytes& events) {
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                 'M', 'T', 'r', 'k', 0, 0, 0, std::uint8_t(events.size())};
    for (std::uint8_t b : events) out.push_back(b);
    return out;
}

std::string scan(const Bytes& bytes, PatchNeeds& needs) { return scan_midi(bytes, needs); }

}  // namespace

TEST(ScanMidi, ProgramsOfEveryTrackAndDrumNotesOfChannelTen) {
    MidiTrack lead, drums;
    lead.program(0, 0, 80);
    lead.note(0, 48, 0, 69, 90);
    lead.program(0, 2, 38);
    lead.note(96, 48, 2, 45, 90);
    drums.program(0, 9, 25);  // a kit change, not an instrument
    drums.note(0, 24, 9, 36, 90);
    drums.note(48, 24, 9, 42, 90);
    MidiFile f;
    f.tracks = {lead, drums};

    PatchNeeds needs;
    ASSERT_EQ(scan(encode_midi(f), needs), "");
    EXPECT_EQ(needs.programs, (std::set<int>{38, 80}));
    EXPECT_EQ(needs.drums, (std::set<int>{36, 42}));
}

TEST(ScanMidi, RunningStatusSilentNotesAndTheDefaultProgram) {
    // Channel 10 plays 36 then, by running status, 38; a zero-velocity 40 is a note-off.
    // Channel 2 plays with no program change, so it plays program 0.
    Bytes events = {0x00, 0x99, 36, 100, 0x00, 38, 100, 0x00, 40, 0,
                    0x00, 0x91, 60, 100, 0x00, 0xff, 0x2f, 0x00};
    PatchNeeds needs;
    ASSERT_EQ(scan(raw_midi(events), needs), "");
    EXPECT_EQ(needs.drums, (std::set<int>{36, 38}));
    EXPECT_EQ(needs.programs, (std::set<int>{0}));
}

TEST(ScanMidi, DamagedFilesAreRefused) {
    PatchNeeds needs;
    EXPECT_NE(scan(Bytes{'R', 'I', 'F', 'F'}, needs), "");
    EXPECT_NE(scan(raw_midi({0x00, 40, 100}), needs), "") << "data before any status";
    EXPECT_NE(scan(raw_midi({0x00, 0x99, 36}), needs), "") << "event cut short";
    EXPECT_NE(scan(raw_midi({0x00, 0x99, 36, 0x99}), needs), "") << "status where data belongs";
    EXPECT_NE(scan(raw_midi({0x00, 0xff, 0x03, 0x10, 'a'}), needs), "") << "meta event past the track";
    Bytes long_chunk = raw_midi({0x00, 0xff, 0x2f, 0x00});
    long_chunk[21] = 0x40;
    EXPECT_NE(scan(long_chunk, needs), "") << "track longer than the file";
}

TEST(TimidityIndex, ReadsBankZeroAndDrumKitZeroOnly) {
    std::istringstream in(
        "dir /usr/share/midi/freepats\n"
        "# comment\n"
        "drumset 0\n"
        " 36\tDrum_000/036_Kick_2.pat amp=100\n"
        " 38\tDrum_000/038_Snare_1.pat # trailing comment\n"
        "bank 0\n"
        " 4\tTone_000/004_Electric_Piano_1_Rhodes.pat\n"
        " 38\tTone_000/038_Synth_Bass_1.pat pan=center\n"
        "bank 8\n"
        " 4\tTone_008/other.pat\n"
        "drumset 1\n"
        " 36\tDrum_001/other.pat\n"
        "soundfont ignored.sf2\n");
    PatchLibrary lib;
    ASSERT_EQ(read_timidity_index(in, lib), "");
    EXPECT_EQ(lib.dirs, (std::vector<std::string>{"/usr/share/midi/freepats"}));
    EXPECT_EQ(lib.programs, (std::map<int, std::string>{{4, "Tone_000/004_Electric_Piano_1_Rhodes.pat"},
                                                        {38, "Tone_000/038_Synth_Bass_1.pat"}}));
    EXPECT_EQ(lib.drums, (std::map<int, std::string>{{36, "Drum_000/036_Kick_2.pat"},
                                                     {38, "Drum_000/038_Snare_1.pat"}}));
}

TEST(TimidityIndex, ReportsTheLineOfAFault) {
    for (const char* text : {"bank\n", "drumset x\n", "128 too_high.pat\n", "5\n", "dir\n"}) {
        std::istringstream in(std::string("# fine\n") + text);
        PatchLibrary lib;
        std::string fault = read_timidity_index(in, lib);
        EXPECT_EQ(fault.rfind("line 2: ", 0), 0u) << text << " gave " << fault;
    }
}

TEST(DigmidIndex, ProgramsCountFromOneAndDrumsSitInTheMultipatchBlock) {
    std::string index = digmid_index({{0, "tone_000.pat"}, {80, "tone_080.pat"}}, {{38, "drum_038.pat"}});
    std::string entries;
    std::istringstream lines(index);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') entries += line + "\n";
    EXPECT_EQ(entries,
              "1 tone_000.pat\n81 tone_080.pat\n"
              "129-256 begin_multipatch default blank\n38 drum_038.pat\nend_multipatch\n");
    EXPECT_EQ(digmid_index({{4, "tone_004.pat"}}, {}).find("begin_multipatch"), std::string::npos);
}

// The patch set this build made, read back by DIGMID's own rules: every program and drum
// the music plays has an instrument object in the datafile.
TEST(GeneratedPatchSet, HoldsAnInstrumentForEverySoundOfTheMusic) {
    std::ifstream music(BLOCKDASH_MUSIC, std::ios::binary);
    ASSERT_TRUE(music) << BLOCKDASH_MUSIC;
    PatchNeeds needs;
    ASSERT_EQ(scan_midi(Bytes(std::istreambuf_iterator<char>(music), {}), needs), "");
    ASSERT_FALSE(needs.programs.empty());
    ASSERT_FALSE(needs.drums.empty());

    ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
    DATAFILE* set = load_datafile(BLOCKDASH_PATCHES);
    ASSERT_NE(set, nullptr) << BLOCKDASH_PATCHES;
    DATAFILE* index = find_datafile_object(set, "default_cfg");
    ASSERT_NE(index, nullptr);

    std::map<int, std::string> programs, drums;
    int drum_base = -1;  // set inside a multipatch block
    std::istringstream lines(std::string(static_cast<const char*>(index->dat), std::size_t(index->size)));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string number, name;
        if (!(words >> number >> name)) {
            if (number == "end_multipatch") drum_base = -1;
            continue;
        }
        if (name == "begin_multipatch") drum_base = std::stoi(number) - 1;
        else if (drum_base >= 0) drums[std::stoi(number)] = name;
        else programs[std::stoi(number) - 1] = name;
    }
    auto holds_instrument = [&](const std::string& name) {
        DATAFILE* object = find_datafile_object(set, name.c_str());
        return object && object->type == DAT_PATCH && object->size > 0;
    };
    for (int p : needs.programs) EXPECT_TRUE(programs.count(p) && holds_instrument(programs[p])) << "program " << p;
    for (int d : needs.drums) EXPECT_TRUE(drums.count(d) && holds_instrument(drums[d])) << "drum " << d;
    unload_datafile(set);
}
