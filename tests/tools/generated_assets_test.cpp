// The files the build generates, checked the way the game will use them: pictures and
// sounds loaded through Allegro, the music read as a MIDI file.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include <unistd.h>

#include "midi_reader.h"

namespace {

namespace fs = std::filesystem;

const char* const all_files[] = {
    "KZ IMAGE/player.bmp", "KZ IMAGE/text.bmp",    "KZ IMAGE/background.bmp",
    "KZ SOUND/dash.wav",   "KZ SOUND/penalty.wav", "KZ SOUND/powerup.wav",
    "KZ SOUND/stage.wav",  "KZ SOUND/break.wav",   "KZ SOUND/music.mid",
};

std::string asset(const std::string& name) { return std::string(BLOCKDASH_ASSET_DIR) + "/" + name; }

std::vector<std::uint8_t> bytes_of(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

class GeneratedAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool started = false;
        if (!started) {
            install_allegro(SYSTEM_NONE, &errno, atexit);
            set_color_depth(32);
            started = true;
        }
    }
};

struct Picture {
    explicit Picture(const std::string& name) : bmp(load_bitmap(asset(name).c_str(), nullptr)) {}
    ~Picture() {
        if (bmp) destroy_bitmap(bmp);
    }
    bool clear(int x, int y) const { return getpixel(bmp, x, y) == makecol(255, 0, 255); }
    // Opaque pixels in the rectangle.
    int solid(int x, int y, int w, int h) const {
        int n = 0;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) n += !clear(i, j);
        return n;
    }
    // First and last rows of the rectangle holding an opaque pixel.
    std::pair<int, int> solid_rows(int x, int y, int w, int h) const {
        int top = -1, bottom = -1;
        for (int j = y; j < y + h; ++j) {
            if (solid(x, j, w, 1) == 0) continue;
            if (top < 0) top = j;
            bottom = j;
        }
        return {top, bottom};
    }
    BITMAP* bmp;
};

}  // namespace

TEST_F(GeneratedAssets, SpriteSheetPosesAreFiguresOnMagenta) {
    Picture p("KZ IMAGE/player.bmp");
    ASSERT_NE(p.bmp, nullptr);
    EXPECT_EQ(p.bmp->w, 192);
    EXPECT_EQ(p.bmp->h, 128);
    for (int pose = 0; pose < 3; ++pose) {
        SCOPED_TRACE(pose);
        int x = 64 * pose;
        EXPECT_TRUE(p.clear(x, 0) && p.clear(x + 63, 0) && p.clear(x, 63) && p.clear(x + 63, 63));
        int n = p.solid(x, 0, 64, 64);
        EXPECT_GT(n, 800);
        EXPECT_LT(n, 64 * 64 * 6 / 10);
    }
    // Standing at y 450, the sprite's rows 62 and 63 fall below the screen: the feet
    // must end above them.
    EXPECT_EQ(p.solid(64, 62, 64, 2), 0);
}

// A hole in a block would show through both of its cut pieces.
TEST_F(GeneratedAssets, BlocksAreSolidWithRoundedCorners) {
    Picture p("KZ IMAGE/player.bmp");
    ASSERT_NE(p.bmp, nullptr);
    std::set<int> centres;
    for (int type = 0; type < 3; ++type) {
        SCOPED_TRACE(type);
        int x = 64 * type;
        EXPECT_TRUE(p.clear(x, 64) && p.clear(x + 63, 127));
        EXPECT_EQ(p.solid(x + 3, 64 + 3, 58, 58), 58 * 58);
        EXPECT_EQ(p.solid(x + 20, 64, 24, 64), 24 * 64);
        centres.insert(getpixel(p.bmp, x + 12, 64 + 32));
    }
    EXPECT_EQ(centres.size(), 3u) << "each block type needs its own colour";
}

TEST_F(GeneratedAssets, BannerStripsStayInsideTheirRows) {
    Picture p("KZ IMAGE/text.bmp");
    ASSERT_NE(p.bmp, nullptr);
    EXPECT_EQ(p.bmp->w, 480);
    EXPECT_EQ(p.bmp->h, 576);
    for (int y : {0, 96, 192, 288, 480}) {
        SCOPED_TRACE(y);
        EXPECT_TRUE(p.clear(0, y) && p.clear(479, y) && p.clear(0, y + 95) && p.clear(479, y + 95));
        // Nothing may touch the strip's edges, or masked_blit would cut it off.
        EXPECT_EQ(p.solid(0, y, 480, 1) + p.solid(0, y + 95, 480, 1), 0);
        EXPECT_EQ(p.solid(0, y, 1, 96) + p.solid(479, y, 1, 96), 0);
        EXPECT_GT(p.solid(0, y, 480, 96), 3000);
    }
}

// The game pastes the word at x 150 and a digit at x 370: each must fit its own
// rectangle and share the word's top and bottom.
TEST_F(GeneratedAssets, StageWordAndDigitsLineUp) {
    Picture p("KZ IMAGE/text.bmp");
    ASSERT_NE(p.bmp, nullptr);
    const int top = 384;
    EXPECT_EQ(p.solid(219, top, 1, 96), 0);
    EXPECT_EQ(p.solid(0, top, 220, 1) + p.solid(0, top + 95, 220, 1), 0);
    auto word_rows = p.solid_rows(0, top, 220, 96);
    ASSERT_GE(word_rows.first, 0);
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        int x = 180 + 40 * n;
        EXPECT_GT(p.solid(x, top, 38, 96), 300);
        EXPECT_EQ(p.solid(x, top, 1, 96) + p.solid(x + 37, top, 1, 96), 0);
        auto rows = p.solid_rows(x, top, 38, 96);
        EXPECT_NEAR(rows.first, word_rows.first, 1);
        EXPECT_NEAR(rows.second, word_rows.second, 1);
    }
}

TEST_F(GeneratedAssets, BackgroundBandsAreDistinctAndOpaque) {
    Picture p("KZ IMAGE/background.bmp");
    ASSERT_NE(p.bmp, nullptr);
    EXPECT_EQ(p.bmp->w, 640);
    EXPECT_EQ(p.bmp->h, 615);
    // It is copied unmasked, so magenta would show as magenta.
    EXPECT_EQ(p.solid(0, 0, 640, 615), 640 * 615);

    const int tops[5] = {184, 80, 290, 390, 515};
    double mean[5][3] = {};
    for (int s = 0; s < 5; ++s) {
        for (int y = tops[s] + 10; y < tops[s] + 90; ++y) {
            for (int x = 96; x < 544; ++x) {
                int c = getpixel(p.bmp, x, y);
                mean[s][0] += getr(c), mean[s][1] += getg(c), mean[s][2] += getb(c);
            }
        }
        for (double& m : mean[s]) m /= 80.0 * 448;
    }
    for (int a = 0; a < 5; ++a)
        for (int b = a + 1; b < 5; ++b)
            EXPECT_GT(std::hypot(mean[a][0] - mean[b][0], mean[a][1] - mean[b][1], mean[a][2] - mean[b][2]), 12)
                << "stages " << a + 1 << " and " << b + 1 << " look alike";

    // The confirm mark stands out from the grey it is pasted on.
    int grey = makecol(40, 40, 40), marked = 0;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 23; ++x) marked += getpixel(p.bmp, x, y) != grey;
    EXPECT_GT(marked, 23 * 9 * 3 / 4);
}

TEST_F(GeneratedAssets, SoundEffectsAreShortPcmThatAllegroLoads) {
    for (const char* name : {"dash", "penalty", "powerup", "stage", "break"}) {
        SCOPED_TRACE(name);
        std::string path = asset(std::string("KZ SOUND/") + name + ".wav");
        auto b = bytes_of(path);
        ASSERT_GT(b.size(), 44u);
        std::uint32_t riff = std::uint32_t(b[4] | b[5] << 8 | b[6] << 16 | b[7] << 24);
        std::uint32_t data = std::uint32_t(b[40] | b[41] << 8 | b[42] << 16 | b[43] << 24);
        EXPECT_EQ(riff, b.size() - 8);
        EXPECT_EQ(data, b.size() - 44);
        SAMPLE* s = load_sample(path.c_str());
        ASSERT_NE(s, nullptr);
        double seconds = double(s->len) / s->freq;
        EXPECT_GT(seconds, 0.05);
        EXPECT_LT(seconds, 2.0);
        destroy_sample(s);
    }
}

TEST_F(GeneratedAssets, MusicIsALoopingGeneralMidiPiece) {
    auto bytes = bytes_of(asset("KZ SOUND/music.mid"));
    MidiRead m = read_midi(bytes);
    ASSERT_EQ(m.error, "");
    EXPECT_TRUE(m.format == 0 || m.format == 1);
    EXPECT_GE(m.seconds(), 45.0);

    // Every track ends on the same whole bar, or the loop would stumble.
    std::set<std::uint32_t> ends;
    for (const auto& t : m.tracks) ends.insert(t.back().tick);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(*ends.begin() % std::uint32_t(4 * m.division), 0u);

    std::map<int, int> notes_on_channel;
    std::set<int> programmed;
    std::map<std::pair<int, int>, int> sounding;
    int loudest = 0;
    for (const auto& t : m.tracks) {
        for (const auto& e : t) {
            int kind = e.status & 0xf0, ch = e.status & 0x0f;
            if (kind == 0xc0) programmed.insert(ch);
            bool on = kind == 0x90 && e.data[1] > 0;
            bool off = kind == 0x80 || (kind == 0x90 && e.data[1] == 0);
            if (on) ++notes_on_channel[ch], ++sounding[{ch, e.data[0]}], loudest = std::max(loudest, int(e.data[1]));
            if (off) --sounding[{ch, e.data[0]}];
        }
    }
    EXPECT_GT(notes_on_channel[9], 100) << "drums on channel 10";
    int melodic = 0;
    for (auto [ch, n] : notes_on_channel) {
        if (ch == 9 || n == 0) continue;
        ++melodic;
        EXPECT_TRUE(programmed.count(ch)) << "channel " << ch << " plays with no instrument chosen";
    }
    EXPECT_GE(melodic, 2) << "a tune and a bass at least";
    for (auto [key, n] : sounding) EXPECT_EQ(n, 0) << "a note left hanging on channel " << key.first;
    EXPECT_LE(loudest, 100);

    MIDI* midi = load_midi(asset("KZ SOUND/music.mid").c_str());
    EXPECT_NE(midi, nullptr);
    if (midi) destroy_midi(midi);
}

TEST_F(GeneratedAssets, GeneratorWritesTheSameBytesEveryTime) {
    fs::path dir = fs::temp_directory_path() / ("asset check " + std::to_string(::getpid()));
    fs::remove_all(dir);
    std::string command = std::string("\"") + MAKE_ASSETS + "\" \"" + dir.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : all_files) {
        SCOPED_TRACE(name);
        auto again = bytes_of((dir / name).string());
        EXPECT_FALSE(again.empty());
        EXPECT_TRUE(again == bytes_of(asset(name)));
    }
    fs::remove_all(dir);
}
