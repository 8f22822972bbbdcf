// "display.dat": "fullscreen" or "window" on the first line, as older versions wrote it
// alone, then "scaling auto|pixel|sharp" and "monitor NAME" (none when it is not known).
#include "records/display_choice.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/atomic_save.h"
#include "platform/data_file.h"
#include "records/scan_text.h"

const char* const display_choice_path = "KZ DATA//display.dat";

namespace {

// The words for each scaling, read and written alike; the first is the default's.
const struct scaling_word {
    const char* name;
    picture_scaling scaling;
} scaling_words[] = {{"auto", picture_scaling::automatic},
                     {"pixel", picture_scaling::pixel},
                     {"sharp", picture_scaling::sharp}};

bool choice_file_refused = false;
display_choice current;

// Monitor names are the desktop's (HDMI-1, DP-2); anything else is not one.
bool monitor_name(const std::string& name) { return printable_word(name, 64); }

void save_choice() {
    if (choice_file_refused) return;
    std::string text = std::string(current.fullscreen ? "fullscreen" : "window") + "\nscaling " +
                       scaling_name(current.scaling) + "\n";
    if (monitor_name(current.monitor)) text += "monitor " + current.monitor + "\n";
    if (!save_atomically(display_choice_path, text.data(), text.size()))
        std::fprintf(stderr, "blockdash: could not save \"%s\"\n", display_choice_path);
}

}  // namespace

bool scaling_named(const char* name, picture_scaling* scaling) {
    for (const scaling_word& n : scaling_words)
        if (std::strcmp(name, n.name) == 0) {
            *scaling = n.scaling;
            return true;
        }
    return false;
}

const char* scaling_name(picture_scaling scaling) {
    for (const scaling_word& n : scaling_words)
        if (n.scaling == scaling) return n.name;
    return scaling_words[0].name;
}

display_choice remembered_display_choice() {
    std::vector<char> bytes(data_file_read_limit + 1, '\0');
    size_t size = 0;
    const data_read result = read_data_file(display_choice_path, bytes.data(), &size);
    choice_file_refused = result.found == file_found::refused;
    current = {};
    if (result.found != file_found::read) return current;
    current.fullscreen = std::strncmp(bytes.data(), "window", 6) != 0;
    std::string value;
    if (line_value(bytes.data(), "scaling ", &value)) scaling_named(value.c_str(), &current.scaling);
    if (line_value(bytes.data(), "monitor ", &value) && monitor_name(value)) current.monitor = value;
    return current;
}

void remember_display_choice(bool fullscreen, const char* monitor) {
    current.fullscreen = fullscreen;
    if (monitor && monitor_name(monitor)) current.monitor = monitor;
    save_choice();
}

void remember_scaling(picture_scaling scaling) {
    current.scaling = scaling;
    save_choice();
}
