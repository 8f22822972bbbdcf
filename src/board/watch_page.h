// The page that plays one kept round in the browser, at /watch/<id>, and the files it
// loads, at /watch/files/<name>. Without a script the page still shows the round's
// figures and a link to its replay.
#pragma once

#include <cstdint>
#include <string>

#include "board/board_store.h"
#include "board/http_server.h"
#include "board/watch_files.h"

// The page of round `r` (`frames` long). The player is offered only when `files` hold it.
std::string watch_page(const board_row& r, int32_t frames, const watch_files& files);

// The files hold the page's script, the round's module and the sheets.
bool watch_player_present(const watch_files& files);

// What the board's pages may load: the board itself, nothing from elsewhere.
extern const char watch_page_policy[];

// GET /watch/<id> and /watch/files/<name>.
void add_watch_routes(http_server& server, board_store& store, const watch_files& files);
