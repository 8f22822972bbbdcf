// The round's picture drawn over plain pixels against the game's own, with the generated
// artwork: a kept round with stages played back, every frame byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/assets.h"
#include "platform/surfaces.h"
#include "play/bmp_pixels.h"
#include "play/frame_picture.h"
#include "play/game_shell.h"
#include "play/round_replay.h"
#include "play/round_state.h"
#include "play_fixture.h"
#include "support/headless.h"

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

std::vector<unsigned char> file_bytes(const char* path) {
    std::vector<unsigned char> bytes;
    if (FILE* f = std::fopen(path, "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<unsigned char>(c));
        std::fclose(f);
    }
    return bytes;
}

pixel_canvas read_picture(const char* path) {
    const std::vector<unsigned char> bytes = file_bytes(path);
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

// Which of the panel's poses the player is drawn in.
int shown_pose() { return player.pose; }

bool same(BITMAP* b, const pixel_canvas& c) {
    for (int y = 0; y < b->h; ++y)
        if (std::memcmp(b->line[y], c.row(y), sizeof(uint32_t) * b->w) != 0) return false;
    return true;
}

// What the pixel picture is made of, counted so the test knows the round was busy.
struct busy_counts {
    int pieces = 0, popups = 0, trails = 0, facing_left = 0, facing_right = 0, banners = 0;
};

struct picture_run {
    picture_sheets sheets;
    pixel_canvas picture{640, 480};
    pixel_canvas shown{640, 480};  // the last frame's, banner included
    bool drawn = false;
    int drawn_stage = 0;
    busy_counts busy;
};
picture_run* run;
const char replay_name[3] = {'P', 'I', 'X'};

void count_busy(busy_counts& c) {
    for (const block_record& b : block) c.pieces += b.cut && !b.active;
    for (const popup& p : got_combo) c.popups += p.timer > 0;
    c.trails += !can_dash;
    (player.facing == 1 ? c.facing_right : c.facing_left) += 1;
}

// The replay screen's label, and at that very moment the pixel picture of the same records.
void label_and_picture(BITMAP* picture) {
    textprintf_ex(picture, font, 16, 440, makecol(255, 255, 0), -1, "REPLAY");
    textprintf_ex(picture, font, 16, 452, makecol(255, 255, 255), -1, "%c%c%c", replay_name[0], replay_name[1], replay_name[2]);
    if (run->drawn) return;  // once per frame, however many parts the game draws
    picture_extras extras;
    extras.pose = shown_pose();
    extras.replay_name = replay_name;
    draw_round_picture(run->picture, run->sheets, extras);
    count_busy(run->busy);
    run->drawn = true;
    run->drawn_stage = stage;
}

TEST(FramePictureTest, AReplayedRoundWithStagesLooksTheSameDrawnWithoutAllegro) {
    testing_support::reset_headless();
    testing_support::load_game_assets();  // before the round, so no stand-ins are made
    play_testing::fresh_round(1);
    static replay kept;
    const std::string path = std::string(BLOCKDASH_GOLDEN_REPLAYS) + "/stages-seed1.rpl";
    ASSERT_EQ(read_replay_file(path.c_str(), kept), replay_status::read);
    picture_run r;
    r.sheets = game_sheets();
    run = &r;
    int frames = 0, differ = 0, first_differ = -1;
    bool time_out_shown = false;
    world.on_wait = [&](int) {
        if (world.waits.back() != 2000) return;  // the time-out's hold, over the last frame
        pixel_canvas expected = r.shown;
        draw_time_out_banner_picture(expected, r.sheets);
        time_out_shown = same(fake_screen, expected);
    };
    start_replay(kept);
    replay_label = label_and_picture;
    for (bool more = true; more;) {
        more = play_replay_frame();
        ++frames;
        ASSERT_TRUE(r.drawn) << "frame " << frames;
        if (stage != r.drawn_stage) {  // raised after the drawing: the banner over it
            draw_stage_banner_picture(r.picture, r.sheets, stage);
            ++r.busy.banners;
        }
        if (!same(fake_screen, r.picture) && differ++ == 0) first_differ = frames;
        r.shown = r.picture;
        r.drawn = false;
    }
    stop_replay();
    replay_label = nullptr;
    world.on_wait = nullptr;
    run = nullptr;
    EXPECT_EQ(frames, kept.frames);
    EXPECT_EQ(differ, 0) << "the first at frame " << first_differ;
    EXPECT_TRUE(time_out_shown);
    EXPECT_GE(r.busy.banners, 3) << "stages 1 to 3";
    EXPECT_GT(r.busy.pieces, 100);
    EXPECT_GT(r.busy.popups, 100);
    EXPECT_GT(r.busy.trails, 100);
    EXPECT_GT(r.busy.facing_left, 100);
    EXPECT_GT(r.busy.facing_right, 100);
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
        std::vector<unsigned char> bytes = file_bytes(path);
        pixel_canvas kept(1, 1, 7);
        EXPECT_FALSE(read_bmp_pixels(bytes.data(), bytes.size() - 1, allegro_format(), kept)) << path;
        bytes[28] = 8;  // a paletted picture
        EXPECT_FALSE(read_bmp_pixels(bytes.data(), bytes.size(), allegro_format(), kept)) << path;
        EXPECT_EQ(kept.w, 1);
        EXPECT_EQ(kept.at(0, 0), 7u);
    }
}

}  // namespace
