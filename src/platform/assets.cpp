// Asset loading, the sprites cut from the sprite sheet and the drawing surfaces.
#include "platform/assets.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/stage_bands.h"
#include "platform/surfaces.h"

BITMAP* title = nullptr;
BITMAP* background = nullptr;
BITMAP* player_panel = nullptr;
BITMAP* block_pic[3] = {};
BITMAP* aimer = nullptr;
SAMPLE* sound[5] = {};
MIDI* music = nullptr;
int back_word[5] = {stage_band_top[0], stage_band_top[1], stage_band_top[2], stage_band_top[3], stage_band_top[4]};

namespace {

const char* const sound_files[sound_slots] = {
    "KZ SOUND//dash.wav",  "KZ SOUND//penalty.wav", "KZ SOUND//powerup.wav",
    "KZ SOUND//stage.wav", "KZ SOUND//break.wav",
};

// Refused before the library opens it: a FIFO would hang start-up for good.
bool is_plain_file(const char* path, char* why, int why_size) {
    struct stat info;
    if (stat(path, &info) != 0 || S_ISREG(info.st_mode)) return true;  // missing: the loader says so
    std::snprintf(why, why_size, "Cannot read \"%s\": not a regular file.", path);
    return false;
}

// The library draws a BMP cut short with holes; its header says how long it must be.
bool is_whole_bmp(const char* path, char* why, int why_size) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return true;
    unsigned char header[6] = {};
    const bool read = std::fread(header, 1, sizeof header, file) == sizeof header;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    const long said = header[2] | header[3] << 8 | header[4] << 16 | static_cast<long>(header[5]) << 24;
    if (!read || header[0] != 'B' || header[1] != 'M' || size >= said) return true;
    std::snprintf(why, why_size, "\"%s\" is cut short: %ld of its %ld bytes.", path, size, said);
    return false;
}

BITMAP* load_picture(const char* path, int min_w, int min_h, char* why, int why_size) {
    if (!is_plain_file(path, why, why_size) || !is_whole_bmp(path, why, why_size)) return nullptr;
    BITMAP* b = load_bitmap(path, nullptr);
    if (!b) {
        std::snprintf(why, why_size, "Cannot read \"%s\": missing or not a BMP picture.", path);
        return nullptr;
    }
    if (b->w < min_w || b->h < min_h) {
        std::snprintf(why, why_size, "\"%s\" is %dx%d, smaller than the %dx%d the game needs.",
                      path, b->w, b->h, min_w, min_h);
        destroy_bitmap(b);
        return nullptr;
    }
    return b;
}

BITMAP* make_surface(int w, int h, char* why, int why_size) {
    BITMAP* b = create_bitmap(w, h);
    if (!b) std::snprintf(why, why_size, "Out of memory creating a %dx%d drawing surface.", w, h);
    return b;
}

void destroy(BITMAP*& b) {
    if (b) destroy_bitmap(b);
    b = nullptr;
}

}  // namespace

bool patch_set_is_plain(char* why, int why_size) {
    char exe[1024];
    get_executable_name(exe, sizeof exe);
    char path[1024];
    replace_filename(path, exe, "patches.dat", sizeof path);
    return is_plain_file(path, why, why_size);
}

void draw_aim_cursor(BITMAP* dest) {
    const int magenta = makecol(255, 0, 255);
    const int white = makecol(255, 255, 255);
    rectfill(dest, 0, 0, 32, 32, magenta);
    vline(dest, 16, 0, 32, white);
    hline(dest, 0, 16, 32, white);
    rectfill(dest, 13, 13, 18, 18, magenta);
}

bool load_assets(char* why, int why_size) {
    BITMAP* resources = load_picture("KZ IMAGE//player.bmp", 192, 128, why, why_size);
    if (resources) title = load_picture("KZ IMAGE//text.bmp", 480, 576, why, why_size);
    if (title) background = load_picture("KZ IMAGE//background.bmp", 640, 615, why, why_size);
    bool ok = background != nullptr;
    for (int slot = 0; ok && slot < sound_slots; ++slot) {
        if (!is_plain_file(sound_files[slot], why, why_size)) {
            ok = false;
            break;
        }
        sound[slot] = load_sample(sound_files[slot]);
        if (!sound[slot]) {
            std::snprintf(why, why_size, "Cannot read \"%s\": missing or not a WAV sound.",
                          sound_files[slot]);
            ok = false;
        }
    }
    if (ok) ok = is_plain_file("KZ SOUND//music.mid", why, why_size);
    if (ok) {
        music = load_midi("KZ SOUND//music.mid");
        if (!music) {
            std::snprintf(why, why_size, "Cannot read \"KZ SOUND//music.mid\": missing or not MIDI.");
            ok = false;
        }
    }
    if (ok) ok = (player_panel = make_surface(192, 64, why, why_size));
    for (int i = 0; ok && i < 3; ++i) ok = (block_pic[i] = make_surface(64, 64, why, why_size));
    if (ok) ok = (buffer = make_surface(screen_w, screen_h, why, why_size));
    if (ok) ok = (fake_screen = make_surface(screen_w, screen_h, why, why_size));
    if (ok) ok = (frame = make_surface(screen_w, screen_h, why, why_size));
    if (ok) ok = (aimer = make_surface(32, 32, why, why_size));
    if (ok) {
        for (int i = 0; i < 3; ++i) blit(resources, block_pic[i], 64 * i, 64, 0, 0, 64, 64);
        draw_aim_cursor(aimer);
        blit(resources, player_panel, 0, 0, 0, 0, 192, 64);
    }
    if (resources) destroy_bitmap(resources);
    if (!ok) release_assets();
    return ok;
}

// Safe on a partly loaded set: start-up uses it to back out of a failed load.
void release_assets() {
    for (BITMAP*& b : block_pic) destroy(b);
    destroy(player_panel);
    destroy(aimer);
    destroy(buffer);
    destroy(frame);
    destroy(fake_screen);
    destroy(title);
    destroy(background);
    for (SAMPLE*& s : sound) {
        if (s) destroy_sample(s);
        s = nullptr;
    }
    if (music) destroy_midi(music);
    music = nullptr;
}
