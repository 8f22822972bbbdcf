// "board.txt": "url ADDRESS", "key HEX" and "initials ABC", one a line, any order.
// Thread: the main thread at start-up; remember_initials, the sender's.
#include "world/board_settings.h"

#include <sys/random.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/atomic_save.h"
#include "platform/data_file.h"
#include "platform/hex_text.h"
#include "records/data_folder.h"
#include "records/replay_file.h"
#include "records/scan_text.h"
#include "world/http_lane.h"

const char* const board_settings_path = "KZ DATA//board.txt";

namespace {

bool is_initials(const std::string& s) { return s.size() == 3 && initials_fit(s.data()); }

}  // namespace

bool is_player_key(const std::string& key) { return is_hex_text(key, 32, true); }

std::string new_player_key() {
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0) got += static_cast<size_t>(n);
        else if (errno != EINTR) return "";
    }
    return hex_of(bytes, sizeof bytes);
}

board_settings read_board_settings() {
    board_settings s;
    s.initials = "---";
    std::vector<char> bytes(data_file_read_limit + 1, '\0');
    size_t size = 0;
    if (read_data_file(board_settings_path, bytes.data(), &size).found != file_found::read) return s;
    std::string value;
    if (line_value(bytes.data(), "url ", &value) && printable_word(value, 512)) s.url = value;
    if (line_value(bytes.data(), "key ", &value) && is_player_key(value)) s.key = value;
    if (line_value(bytes.data(), "initials ", &value) && is_initials(value)) s.initials = value;
    return s;
}

bool save_board_settings(const board_settings& settings) {
    data_folder_lock lock(board_settings_path);
    tell_if_unlocked(lock, board_settings_path);
    std::vector<char> bytes(data_file_read_limit + 1, '\0');
    size_t size = 0;
    const data_read found = read_data_file(board_settings_path, bytes.data(), &size);
    if (found.found == file_found::refused) {
        std::fprintf(stderr, "blockdash: \"%s\" cannot be read (%s); it is not written over\n",
                     board_settings_path, refusal_reason(found.error));
        return false;
    }
    // A file this game did not write is kept beside it before it is replaced.
    if (found.found == file_found::read && size > 0 && !std::strstr(bytes.data(), "initials ")) {
        char copy[PATH_MAX];
        if (!keep_damaged_copy(board_settings_path, copy, sizeof copy)) return false;
    }
    std::string text;
    if (!settings.url.empty()) text += "url " + settings.url + "\n";
    if (!settings.key.empty()) text += "key " + settings.key + "\n";
    text += "initials " + (is_initials(settings.initials) ? settings.initials : std::string("---")) + "\n";
    if (!save_atomically(board_settings_path, text.data(), text.size())) {
        std::fprintf(stderr, "blockdash: could not save \"%s\": %s\n", board_settings_path, std::strerror(errno));
        return false;
    }
    return true;
}

bool set_board(const std::string& url_or_off, board_settings* now, std::string* why) {
    board_settings s = read_board_settings();
    if (url_or_off == "off") {
        s.url.clear();
    } else {
        if (!printable_word(url_or_off, 512) || !http_url_allowed(url_or_off, why)) {
            if (why->empty()) *why = "not a web address";
            return false;
        }
        s.url = url_or_off;
        while (!s.url.empty() && s.url.back() == '/') s.url.pop_back();
        if (s.key.empty()) s.key = new_player_key();
        if (s.key.empty()) {
            *why = "no random numbers for the player key";
            return false;
        }
    }
    *now = s;
    if (!save_board_settings(s)) *why = "the setting could not be saved; it holds for this session only";
    return true;
}

void remember_initials(const char name[3]) {
    board_settings s = read_board_settings();
    if (s.url.empty()) return;  // a player who never turned the board on sees no new file
    const std::string typed(name, 3);
    if (!is_initials(typed) || typed == s.initials) return;
    s.initials = typed;
    save_board_settings(s);
}
