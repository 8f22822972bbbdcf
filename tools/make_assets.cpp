// Writes every asset the game loads: make_assets <output folder>. The folder gets
// "KZ IMAGE" and "KZ SOUND"; the same input always gives the same bytes.
#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "art.h"
#include "midi_writer.h"
#include "music_score.h"
#include "sound_effects.h"
#include "wav_writer.h"

namespace fs = std::filesystem;

namespace {

bool save_picture(const fs::path& path, int w, int h, void (*draw)(BITMAP*)) {
    BITMAP* bmp = create_bitmap(w, h);
    if (!bmp) return false;
    clear_to_color(bmp, makecol(255, 0, 255));
    draw(bmp);
    bool ok = save_bitmap(path.string().c_str(), bmp, nullptr) == 0;
    destroy_bitmap(bmp);
    return ok;
}

void draw_sprite_sheet(BITMAP* sheet) {
    draw_player_poses(sheet);
    draw_blocks(sheet);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_assets <output folder>\n");
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path images = out / "KZ IMAGE", sounds = out / "KZ SOUND";
    std::error_code ec;
    fs::create_directories(images, ec);
    fs::create_directories(sounds, ec);

    // No display: memory bitmaps only, in the 32-bit depth the game uses.
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "make_assets: cannot start Allegro\n");
        return 1;
    }
    set_color_depth(32);

    bool ok = save_picture(images / "player.bmp", 192, 128, draw_sprite_sheet) &&
              save_picture(images / "text.bmp", 480, 576, draw_banners) &&
              save_picture(images / "background.bmp", 640, 615, draw_background);

    for (const SoundEffect& fx : sound_effects()) {
        ok = ok && write_wav((sounds / fx.file).string(), fx.samples, sound_rate);
    }
    ok = ok && write_midi((sounds / "music.mid").string(), compose_music());

    if (!ok) {
        std::fprintf(stderr, "make_assets: could not write the assets into %s\n", out.string().c_str());
        return 1;
    }
    return 0;
}
