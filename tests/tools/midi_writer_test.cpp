// The MIDI writer: variable-length numbers, chunk layout, event order and track ends.
#include <gtest/gtest.h>

#include "midi_reader.h"
#include "midi_writer.h"

namespace {

std::vector<std::uint8_t> varlen(std::uint32_t v) {
    std::vector<std::uint8_t> out;
    put_varlen(out, v);
    return out;
}

using Bytes = std::vector<std::uint8_t>;

}  // namespace

TEST(MidiWriter, VariableLengthNumbersAtTheirBoundaries) {
    EXPECT_EQ(varlen(0), Bytes({0x00}));
    EXPECT_EQ(varlen(0x7f), Bytes({0x7f}));
    EXPECT_EQ(varlen(0x80), Bytes({0x81, 0x00}));
    EXPECT_EQ(varlen(0x3fff), Bytes({0xff, 0x7f}));
    EXPECT_EQ(varlen(0x4000), Bytes({0x81, 0x80, 0x00}));
    EXPECT_EQ(varlen(0x0fffffff), Bytes({0xff, 0xff, 0xff, 0x7f}));
}

TEST(MidiWriter, FileHasHeaderTracksAndEnds) {
    MidiFile f;
    f.format = 1;
    f.ticks_per_quarter = 96;
    MidiTrack conductor, notes;
    conductor.tempo(0, 400000);
    notes.program(0, 0, 80);
    notes.note(0, 96, 0, 60, 90);
    notes.note(200000, 96, 9, 36, 90);  // a delta that needs three bytes
    f.tracks = {conductor, notes};

    MidiRead m = read_midi(encode_midi(f));
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.format, 1);
    EXPECT_EQ(m.division, 96);
    ASSERT_EQ(m.tracks.size(), 2u);
    const auto& t = m.tracks[1];
    ASSERT_EQ(t.size(), 6u);  // program, on, off, on, off, end
    EXPECT_EQ(t[0].status, 0xc0);
    EXPECT_EQ(t[3].status, 0x99);
    EXPECT_EQ(t[3].tick, 200000u);
    EXPECT_EQ(t.back().meta, 0x2f);
    EXPECT_EQ(t.back().tick, 200096u);
    EXPECT_NEAR(m.seconds(), 200096 * 0.4 / 96, 1e-6);
}

// A repeated note must be released before it sounds again, or a player would cut the
// second note off at once; settings must precede the notes they affect.
TEST(MidiWriter, EventsAtOneTickGoOffThenSettingsThenOn) {
    MidiTrack t;
    t.note(96, 96, 0, 60, 80);
    t.note(0, 96, 0, 60, 80);
    t.program(96, 0, 5);
    MidiFile f;
    f.tracks = {t};
    MidiRead m = read_midi(encode_midi(f));
    ASSERT_EQ(m.error, "");
    const auto& e = m.tracks[0];
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].status, 0x90);
    EXPECT_EQ(e[1].status, 0x80);
    EXPECT_EQ(e[1].tick, 96u);
    EXPECT_EQ(e[2].status, 0xc0);
    EXPECT_EQ(e[3].status, 0x90);
    EXPECT_EQ(e[3].tick, 96u);
}

TEST(MidiWriter, EndOfTrackWaitsForTheLoopPointButNeverCutsANote) {
    MidiTrack early, late;
    early.note(0, 48, 0, 60, 80);
    early.end_at(384);
    late.note(0, 500, 0, 60, 80);
    late.end_at(384);
    MidiFile f;
    f.tracks = {early, late};
    MidiRead m = read_midi(encode_midi(f));
    ASSERT_EQ(m.error, "");
    EXPECT_EQ(m.tracks[0].back().tick, 384u);
    EXPECT_EQ(m.tracks[1].back().tick, 500u);
}

TEST(MidiWriter, DataBytesStayBelow128) {
    MidiTrack t;
    t.note(0, 10, 0, 200, 300);
    t.control(0, 0, 7, -5);
    MidiFile f;
    f.tracks = {t};
    MidiRead m = read_midi(encode_midi(f));
    ASSERT_EQ(m.error, "");
    for (const auto& e : m.tracks[0])
        for (std::uint8_t d : e.data) EXPECT_LT(d, 128);
}
