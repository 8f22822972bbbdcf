#include "support/headless.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/assets.h"
#include "platform/key_presses.h"
#include "platform/mouse_presses.h"
#include "play/sprites.h"
#include "ui/buttons.h"

namespace testing_support {

namespace {

std::string make_dir(const std::string& path) {
    mkdir(path.c_str(), 0755);
    return path;
}

std::string scratch_root;

// A run that failed keeps its files for a look; one that passed leaves nothing behind.
void remove_scratch_if_passed() {
    if (::testing::UnitTest::GetInstance()->Passed()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratch_root, ignored);
    }
}

}  // namespace

void reset_headless() {
    static bool started = false;
    if (!started) {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
        set_color_depth(32);
        started = true;
    }
    use_fake_host();
    set_mouse(0, 0, 0);
    release_all_keys();
    forget_key_presses();
    forget_button_presses();
}

std::string scratch_dir(const std::string& name) {
    if (scratch_root.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/blockdash-test-XXXXXX";
        if (!mkdtemp(tmpl.data())) {
            ADD_FAILURE() << "cannot make a scratch folder " << tmpl;
            return "";
        }
        scratch_root = tmpl;
        ::testing::UnitTest::GetInstance();  // made before the handler, so still there when it runs
        std::atexit(remove_scratch_if_passed);
    }
    return make_dir(scratch_root + "/" + name);
}

void load_game_assets() {
    static bool loaded = false;
    const std::string run = scratch_dir("run");
    ASSERT_EQ(chdir(run.c_str()), 0);
    if (loaded) return;
    for (const char* folder : {"KZ IMAGE", "KZ SOUND"}) {
        const std::string target = std::string(BLOCKDASH_ASSET_DIR) + "/" + folder;
        ASSERT_TRUE(symlink(target.c_str(), folder) == 0 || errno == EEXIST) << folder;
    }
    char why[256] = "";
    ASSERT_TRUE(load_assets(why, sizeof why)) << why;
    ASSERT_TRUE(prepare_round_sprites(why, sizeof why)) << why;
    loaded = true;
}

void set_mouse(int x, int y, int buttons) {
    const bool left_press = (buttons & 1) && !(mouse_b & 1);
    mouse_x = x;
    mouse_y = y;
    mouse_b = buttons;
    if (left_press) note_left_press(x, y);  // as the library's mouse callback would
}

void release_all_keys() { std::memset(const_cast<char*>(key), 0, KEY_MAX); }

int rgb(int r, int g, int b) { return makecol(r, g, b); }

int pixel(BITMAP* b, int x, int y) { return getpixel(b, x, y); }

bool same_pixels(BITMAP* a, BITMAP* b) {
    if (a->w != b->w || a->h != b->h) return false;
    for (int y = 0; y < a->h; ++y)
        if (std::memcmp(a->line[y], b->line[y], a->w * 4) != 0) return false;
    return true;
}

}  // namespace testing_support
