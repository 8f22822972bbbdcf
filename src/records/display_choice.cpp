// "display.dat": "fullscreen" or "window".
#include "records/display_choice.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/atomic_save.h"
#include "platform/data_file.h"

const char* const display_choice_path = "KZ DATA//display.dat";

namespace {
bool choice_file_refused = false;
}  // namespace

bool remembered_fullscreen() {
    std::vector<char> bytes(data_file_read_limit + 1, '\0');
    size_t size = 0;
    const data_read result = read_data_file(display_choice_path, bytes.data(), &size);
    choice_file_refused = result.found == file_found::refused;
    if (result.found != file_found::read) return true;
    return std::strncmp(bytes.data(), "window", 6) != 0;
}

void remember_display_choice(bool fullscreen) {
    if (choice_file_refused) return;
    const char* text = fullscreen ? "fullscreen\n" : "window\n";
    if (!save_atomically(display_choice_path, text, std::strlen(text)))
        std::fprintf(stderr, "blockdash: could not save \"%s\"\n", display_choice_path);
}
