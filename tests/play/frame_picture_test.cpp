// The round's picture drawn over plain pixels against the game's own, with the generated
// artwork: a kept round with stages played back, every frame byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/assets.h"
#include "platform/surfaces.h"
#include "play/frame_picture.h"
#include "play/round_replay.h"
#include "play/round_state.h"
#include "play_fixture.h"
#include "support/headless.h"

using testing_support::world;

namespace {

pixel_canvas from_bitmap(BITMAP* b) {
    pixel_canvas c(b->w, b->h);
    for (int y = 0; y < b->h; ++y) std::memcpy(c.row(y), b->line[y], sizeof(uint32_t) * b->w);
    return c;
}

// Colours as this Allegro lays them out (it picks the order for the display it has).
pixel_format allegro_format() {
    pixel_format f;
    f.red_shift = _rgb_r_shift_32;
    f.green_shift = _rgb_g_shift_32;
    f.blue_shift = _rgb_b_shift_32;
    return f;
}

// The sheets as the game's files hold them, from what start-up loaded.
picture_sheets game_sheets() {
    pixel_canvas player_sheet(192, 128);
    paint::blit(from_bitmap(player_panel), player_sheet, 0, 0, 0, 0, 192, 64);
    for (int type = 0; type < 3; ++type) paint::blit(from_bitmap(block_pic[type]), player_sheet, 0, 0, 64 * type, 64, 64, 64);
    picture_sheets sheets;
    EXPECT_TRUE(make_picture_sheets(sheets, allegro_format(), player_sheet, from_bitmap(title), from_bitmap(background)));
    return sheets;
}

// Which of the panel's poses the player's sprite holds.
int shown_pose() {
    for (int pose : {0, 64, 128}) {
        bool same = true;
        for (int y = 0; y < 64 && same; ++y)
            same = std::memcmp(player.sprite->line[y], reinterpret_cast<uint32_t*>(player_panel->line[y]) + pose, 64 * 4) == 0;
        if (same) return pose;
    }
    ADD_FAILURE() << "the player's sprite holds no pose of the panel";
    return 64;
}

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
    for (bool more = true; more;) {
        more = play_replay_frame(label_and_picture);
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

}  // namespace
