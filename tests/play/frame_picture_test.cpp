// The round's picture drawn over plain pixels against the game's own, with the generated
// artwork: a kept round with stages played back, every frame byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/assets.h"
#include "platform/surfaces.h"
#include "play/bmp_pixels.h"
#include "play/frame_picture.h"
#include "play/game_shell.h"
#include "play/picture_shell.h"
#include "play/round_events.h"
#include "play/round_replay.h"
#include "play/round_shell.h"
#include "play/round_state.h"
#include "play_fixture.h"
#include "support/file_bytes.h"
#include "support/headless.h"
#include "ui/screen_state.h"

using testing_support::world;

namespace {

// Colours as this Allegro lays them out (it picks the order for the display it has).
pixel_format allegro_format() {
    pixel_format f;
    f.red_shift = _rgb_r_shift_32;
    f.green_shift = _rgb_g_shift_32;
    f.blue_shift = _rgb_b_shift_32;
    return f;
}

std::vector<unsigned char> bytes_of(const char* path) {
    const std::string bytes = file_bytes::read(path);
    return {bytes.begin(), bytes.end()};
}

pixel_canvas read_picture(const char* path) {
    const std::vector<unsigned char> bytes = bytes_of(path);
    pixel_canvas c;
    EXPECT_TRUE(read_bmp_pixels(bytes.data(), bytes.size(), allegro_format(), c)) << path;
    return c;
}

// The sheets from the game's own files, read without Allegro.
picture_sheets game_sheets() {
    picture_sheets sheets;
    EXPECT_TRUE(make_picture_sheets(sheets, allegro_format(), read_picture("KZ IMAGE/player.bmp"),
                                    read_picture("KZ IMAGE/text.bmp"), read_picture("KZ IMAGE/background.bmp")));
    return sheets;
}

bool same(BITMAP* b, const pixel_canvas& c) {
    for (int y = 0; y < b->h; ++y)
        if (std::memcmp(b->line[y], c.row(y), sizeof(uint32_t) * b->w) != 0) return false;
    return true;
}

// What the pictures showed, counted so the test knows the round was busy.
struct busy_counts {
    int pieces = 0, popups = 0, trails = 0, facing_left = 0, facing_right = 0, banners = 0;
};
busy_counts busy;

// The game's hooks and the picture shell's, each step run by both.
round_shell game_hooks, picture_hooks;
const char replay_name[3] = {'P', 'I', 'X'};

void draw_both() {
    game_hooks.draw_round();
    picture_hooks.draw_round();
    for (const block_record& b : block) busy.pieces += b.cut && !b.active;
    for (const popup& p : got_combo) busy.popups += p.timer > 0;
    busy.trails += !can_dash;
    (player.facing == 1 ? busy.facing_right : busy.facing_left) += 1;
}

void stage_banner_both() {
    game_hooks.stage_banner();
    picture_hooks.stage_banner();
    ++busy.banners;
}

void time_out_banner_both() {
    game_hooks.time_out_banner();
    picture_hooks.time_out_banner();
}

// From now on each frame is drawn by the game and into `picture`.
void draw_both_ways(pixel_canvas& picture, const picture_sheets& sheets) {
    use_game_shell();
    game_hooks = shell;
    use_picture_shell(picture, sheets, replay_name);
    picture_hooks = shell;
    shell = game_hooks;
    shell.draw_round = draw_both;
    shell.stage_banner = stage_banner_both;
    shell.time_out_banner = time_out_banner_both;
    busy = {};
}

// The replay screen's label.
void label(BITMAP* picture) {
    textprintf_ex(picture, font, 16, 440, makecol(255, 255, 0), -1, "REPLAY");
    textprintf_ex(picture, font, 16, 452, makecol(255, 255, 255), -1, "%c%c%c", replay_name[0], replay_name[1],
                  replay_name[2]);
}

// The game draws with Allegro and the picture shell over plain pixels, from the same
// records at the same steps; after every frame, and while the time-out is held, the two
// pictures must be equal.
TEST(FramePictureTest, AReplayedRoundWithStagesLooksTheSameDrawnWithoutAllegro) {
    testing_support::reset_headless();
    testing_support::load_game_assets();  // before the round, so no stand-ins are made
    play_testing::fresh_round(1);
    static replay kept;
    const std::string path = std::string(BLOCKDASH_GOLDEN_REPLAYS) + "/stages-seed1.rpl";
    ASSERT_EQ(read_replay_file(path.c_str(), kept), replay_status::read);
    const picture_sheets sheets = game_sheets();
    pixel_canvas picture(640, 480);
    draw_both_ways(picture, sheets);
    replay_label = label;
    bool time_out_same = false;
    world.on_wait = [&](int) {
        if (world.waits.back() == 2000) time_out_same = same(fake_screen, picture);  // the time-out's hold
    };
    int frames = 0, differ = 0, first_differ = -1;
    start_replay(kept);
    for (bool more = true; more;) {
        more = play_replay_frame();
        ++frames;
        if (!same(fake_screen, picture) && differ++ == 0) first_differ = frames;
    }
    stop_replay();
    world.on_wait = nullptr;
    replay_label = nullptr;
    use_game_shell();
    EXPECT_EQ(frames, kept.frames);
    EXPECT_EQ(differ, 0) << "the first at frame " << first_differ;
    EXPECT_TRUE(time_out_same) << "the time-out banner over the last picture";
    EXPECT_GE(busy.banners, 3) << "stages 1 to 3";
    EXPECT_GT(busy.pieces, 100);
    EXPECT_GT(busy.popups, 100);
    EXPECT_GT(busy.trails, 100);
    EXPECT_GT(busy.facing_left, 100);
    EXPECT_GT(busy.facing_right, 100);
}

// A board round the board stopped hearing: the player's own, not a replay.
const round_listener unheard = {
    [](uint32_t*) { return false; }, [](int) {}, [](int) {}, [](int) {}, [](int) {}, [] { return -1; },
    [] { return "board lost"; }};

// A round played rather than replayed: the live pointer, and in place of a replay's label
// the grey line that says the round can no longer count.
TEST(FramePictureTest, APlayedRoundSayingItCannotCountLooksTheSameDrawnWithoutAllegro) {
    testing_support::reset_headless();
    testing_support::load_game_assets();
    play_testing::fresh_round(3);
    const picture_sheets sheets = game_sheets();
    pixel_canvas picture(640, 480);
    draw_both_ways(picture, sheets);
    listen_to_rounds(&unheard);
    unsigned seed = 7;
    auto pick = [&seed](int n) { return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 16) % n; };
    int frames = 0, differ = 0;
    for (; frames < 400 && game_state == state_play; ++frames) {
        int x = pick(640), y = pick(480), buttons = 0;
        if (frames % 9 == 0) {  // a dash at the block nearest the floor
            for (const block_record& b : block)
                if (b.active && b.y + 30 > y) x = b.x, y = std::min(b.y + 30, 479);
            buttons = 1;
        }
        testing_support::set_mouse(x, y, buttons);
        time_left = std::max(time_left, 100);
        play_frame();
        differ += !same(fake_screen, picture);
    }
    listen_to_rounds(nullptr);
    use_game_shell();
    EXPECT_EQ(frames, 400);
    EXPECT_EQ(differ, 0);
    int grey_line = 0;
    for (int y = 440; y < 448; ++y)
        for (int x = 16; x < 96; ++x) grey_line += picture.at(x, y) == allegro_format().colour(160, 160, 160);
    EXPECT_GT(grey_line, 20) << "the quiet line is drawn";
    EXPECT_GT(busy.pieces + busy.popups + busy.trails, 100) << "the round was busy";
}

// The reader gives what Allegro's loader gives, and refuses a file cut short or of another
// kind rather than reading past its end.
TEST(FramePictureTest, TheGamesPicturesReadAsAllegroReadsThem) {
    testing_support::reset_headless();
    testing_support::load_game_assets();
    for (const char* path : {"KZ IMAGE/player.bmp", "KZ IMAGE/text.bmp", "KZ IMAGE/background.bmp"}) {
        BITMAP* loaded = load_bitmap(path, nullptr);
        ASSERT_TRUE(loaded) << path;
        EXPECT_TRUE(same(loaded, read_picture(path))) << path;
        destroy_bitmap(loaded);
        std::vector<unsigned char> bytes = bytes_of(path);
        pixel_canvas kept(1, 1, 7);
        EXPECT_FALSE(read_bmp_pixels(bytes.data(), bytes.size() - 1, allegro_format(), kept)) << path;
        bytes[28] = 8;  // a paletted picture
        EXPECT_FALSE(read_bmp_pixels(bytes.data(), bytes.size(), allegro_format(), kept)) << path;
        EXPECT_EQ(kept.w, 1);
        EXPECT_EQ(kept.at(0, 0), 7u);
    }
}

}  // namespace
